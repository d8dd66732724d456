// The collectors: each reads one item of the report from the system and returns it as text.
// They never return an error code; a failure a user must see is shown in a message box of its own.
#pragma once

#include "platform/handles.h"
#include "report/antivirus_facts.h"
#include "report/byte_size.h"
#include "report/traffic_adapter.h"
#include "report/uptime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tovalen {

// What a registry read found, for callers that want more than the text.
struct RegistryReadResult {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::wstring text;
    LSTATUS status = ERROR_SUCCESS;
    std::wstring status_text;
};

// The named value of a registry key rendered as text by its type; empty text when the key or
// the value is missing or cannot be read. A value that grows while it is read is read again, up
// to this many readings in all; one that is still growing then fails with ERROR_MORE_DATA.
inline constexpr int REGISTRY_VALUE_READINGS = 4;
std::wstring read_registry_value(HKEY root, std::wstring_view key_path, std::wstring_view value_name,
                                 bool use_32bit_view = false, RegistryReadResult* result = nullptr);

// The system's text for a Win32 error code, without its line end.
std::wstring system_message(DWORD code);

// Set for report mode, where nothing is shown: the drive check then leaves the free space empty
// instead of ending the program. (Report mode also points the message-box seam elsewhere.)
extern bool unattended_collection;

// The text with its environment-variable references (%NAME%) expanded; empty when it cannot be.
std::wstring expand_environment_strings(const std::wstring& stored);

// Free bytes of drive C: as byte-size text. When the drive is not ready the user is told so and
// the program ends; this function then does not return, unless the collection is unattended:
// then it returns empty text.
std::wstring get_disk_free_text();
std::wstring get_ip_address_text();
std::wstring get_mac_address_text();
std::wstring get_browser_version_text();

// The two network lines, both of the adapter that carries the default traffic; when none can be
// told, the IP and MAC probes above.
NetworkAddresses get_network_addresses();

// Ends the network library that the IP probe started, if it did; part of the program's end.
void release_network_library();

// The last system start as the workstation service reports it.
std::wstring get_last_boot_text();
// The last start worked out from the system clock minus the interrupt time, as the user's short
// date and long time.
std::wstring boot_time_from_clock();
// A date in the user's short date format; empty when the system cannot write it.
std::wstring short_date_text(const SYSTEMTIME& time);
// 100-nanosecond units since the system started.
std::int64_t read_interrupt_time();

// The enclosure's serial number from the management service. The text is kept from build to
// build: when the service cannot be reached, the last serial found is shown again.
std::wstring get_serial_number_text();
extern std::wstring last_serial_number;
// The box each of these two shows when the service cannot be reached.
inline constexpr wchar_t SERIAL_ERROR_MESSAGE[] =
    L"Error retrieving serial.\r\nMake sure you are running as an Administrator.";
inline constexpr wchar_t MEMORY_ERROR_MESSAGE[] =
    L"Error retrieving memory size.\r\nMake sure you are running as an Administrator.";

// The capacity of the last memory module the management service lists, as byte-size text.
std::wstring get_memory_size_text();

// The antivirus lines from Windows Security Center and Microsoft Defender, for a machine without
// the vendor key. Silent: these sources are optional, so their failures show nothing and leave
// the automation layer's last outcome as it was.
AntivirusLines get_windows_antivirus_lines();

}  // namespace tovalen
