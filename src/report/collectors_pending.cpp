// Collectors whose sources are not read yet. Each returns what a missing value gives (empty
// text, or 0 for the interrupt time) so that every report line is already in place.
#include "report/collectors.h"

namespace tovalen {

std::wstring read_registry_value(HKEY, std::wstring_view, std::wstring_view, bool, RegistryReadResult*)
{
    return {};  // not yet collected
}

std::wstring get_disk_free_text() { return {}; }         // not yet collected
std::wstring get_ip_address_text() { return {}; }        // not yet collected
std::wstring get_mac_address_text() { return {}; }       // not yet collected
std::wstring get_browser_version_text() { return {}; }   // not yet collected
std::wstring get_last_boot_text() { return {}; }         // not yet collected
std::int64_t read_interrupt_time() { return 0; }         // not yet collected
std::wstring get_serial_number_text() { return {}; }     // not yet collected
std::wstring get_memory_size_text() { return {}; }       // not yet collected

}  // namespace tovalen
