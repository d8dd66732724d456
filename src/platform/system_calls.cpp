#include "platform/system_calls.h"

#include "platform/handles.h"
#include "platform/system_folder.h"

#include <string>

namespace tovalen::platform {

namespace {

HWND own_foreground_window()
{
    HWND foreground = ::GetForegroundWindow();
    if (foreground == nullptr) {
        return nullptr;
    }
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreground, &process);
    return process == ::GetCurrentProcessId() ? foreground : nullptr;
}

// IP Helper is not one of the libraries Windows always takes from the system folder, so it is
// not imported (an import would be looked for in the program's own folder first) but loaded from
// the system folder when first needed, and kept for the rest of the run.
HMODULE ip_helper()
{
    static const UniqueLibrary library(load_system_library(L"iphlpapi.dll"));
    return library.get();
}

DWORD WINAPI send_arp_through_ip_helper(IPAddr destination, IPAddr source, PVOID address, PULONG length)
{
    using SendArpRoutine = DWORD(WINAPI*)(IPAddr, IPAddr, PVOID, PULONG);
    static const auto send_arp = library_routine<SendArpRoutine>(ip_helper(), "SendARP");
    return send_arp != nullptr ? send_arp(destination, source, address, length) : ERROR_NOT_SUPPORTED;
}

}  // namespace

ULONG get_adapters_addresses(ULONG family, ULONG flags, IP_ADAPTER_ADDRESSES* adapters, ULONG* size)
{
    using GetAdaptersAddressesRoutine = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
    static const auto routine = library_routine<GetAdaptersAddressesRoutine>(ip_helper(), "GetAdaptersAddresses");
    return routine != nullptr ? routine(family, flags, nullptr, adapters, size) : ERROR_NOT_SUPPORTED;
}

void ForwardTableFree::operator()(MIB_IPFORWARD_TABLE2* table) const noexcept
{
    using FreeMibTableRoutine = VOID(WINAPI*)(PVOID);
    static const auto routine = library_routine<FreeMibTableRoutine>(ip_helper(), "FreeMibTable");
    if (routine != nullptr) {
        routine(table);
    }
}

Ipv4ForwardTable ipv4_forward_table()
{
    using GetIpForwardTable2Routine = DWORD(WINAPI*)(ADDRESS_FAMILY, PMIB_IPFORWARD_TABLE2*);
    static const auto routine = library_routine<GetIpForwardTable2Routine>(ip_helper(), "GetIpForwardTable2");
    MIB_IPFORWARD_TABLE2* table = nullptr;
    if (routine == nullptr || routine(AF_INET, &table) != NO_ERROR) {
        return Ipv4ForwardTable();
    }
    return Ipv4ForwardTable(table);
}

SystemCalls real_system_calls()
{
    return SystemCalls{
        .get_disk_free_space = &::GetDiskFreeSpaceExW,
        .wsa_startup = &::WSAStartup,
        .send_arp = &send_arp_through_ip_helper,
        .message_box = &::MessageBoxW,
        .query_registry_value = &::RegQueryValueExW,
        .system_parameters_info = &::SystemParametersInfoW,
    };
}

SystemCalls& system_calls()
{
    static SystemCalls calls = real_system_calls();
    return calls;
}

int show_message(std::wstring_view text, std::wstring_view title, UINT icon)
{
    const std::wstring text_copy(text);
    const std::wstring title_copy(title);
    return system_calls().message_box(own_foreground_window(), text_copy.c_str(), title_copy.c_str(), MB_OK | icon);
}

}  // namespace tovalen::platform
