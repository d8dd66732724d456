#include "report/collectors.h"

#include "comline/comline.h"
#include "platform/system_calls.h"

namespace tovalen {

std::wstring last_serial_number;

namespace {

constexpr wchar_t SERVICE_MONIKER_START[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\";
constexpr wchar_t LOCAL_COMPUTER[] = L".";
constexpr wchar_t SERVICE_NAMESPACE[] = L"\\root\\cimv2";

constexpr wchar_t ENCLOSURE_QUERY[] = L"ExecQuery('Select * from Win32_SystemEnclosure')";
constexpr wchar_t MEMORY_QUERY[] = L"ExecQuery('Select * from Win32_PhysicalMemory')";

std::wstring service_moniker()
{
    return std::wstring(SERVICE_MONIKER_START) + LOCAL_COMPUTER + SERVICE_NAMESPACE;
}

// Runs a query on the management service and hands the property's text of each item, in order,
// to the visitor. Every object of the walk is released before the next is asked for. False when
// the service itself could not be had.
template <typename Visitor>
bool for_each_item_property(std::wstring_view query, std::wstring_view property, Visitor visit)
{
    comline::ComLineObject* service = comline::get_automation_object(service_moniker(), L"", true);
    if (service == nullptr) {
        return false;
    }
    if (comline::ComLineEnumeration* items = service->methods->open_enumeration(service, query, nullptr)) {
        while (comline::ComLineObject* item = items->methods->next_object(items)) {
            visit(item->methods->read_text(item, property, nullptr));
            item->methods->release_object(item);
        }
        items->methods->release_enumeration(items);
    }
    service->methods->release_object(service);
    return true;
}

}  // namespace

std::wstring get_serial_number_text()
{
    const bool reached = for_each_item_property(ENCLOSURE_QUERY, L"SerialNumber",
                                                [](std::wstring serial) { last_serial_number = std::move(serial); });
    if (!reached) {
        platform::show_message(SERIAL_ERROR_MESSAGE, L"Error", MB_ICONERROR);
    }
    return last_serial_number;
}

std::wstring get_memory_size_text()
{
    std::wstring capacity;
    const bool reached = for_each_item_property(MEMORY_QUERY, L"Capacity",
                                                [&capacity](std::wstring text) { capacity = std::move(text); });
    if (!reached) {
        platform::show_message(MEMORY_ERROR_MESSAGE, L"Error", MB_ICONERROR);
    }
    return format_byte_size(leading_decimal_number(capacity));
}

}  // namespace tovalen
