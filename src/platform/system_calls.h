// The few system calls whose failures cannot be brought about for real on a working machine (a
// drive that is not ready, a network library that will not start, an address request that
// succeeds where the network has no answer, a registry value that grows between the question of
// its size and its reading), the high-contrast setting (which Wine never turns on) and the modal
// message box. Everything reaches them
// through this one table, so that a test can stand in for exactly these and nothing else.
#pragma once

#include <winsock2.h>
#include <windows.h>
// Before the IP Helper header, which declares the routing table only when this was included.
#include <ws2ipdef.h>
#include <iphlpapi.h>

#include <memory>
#include <string_view>

namespace tovalen::platform {

struct SystemCalls {
    BOOL(WINAPI* get_disk_free_space)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    int(WINAPI* wsa_startup)(WORD, LPWSADATA);
    DWORD(WINAPI* send_arp)(IPAddr, IPAddr, PVOID, PULONG);
    int(WINAPI* message_box)(HWND, LPCWSTR, LPCWSTR, UINT);
    LSTATUS(WINAPI* query_registry_value)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    BOOL(WINAPI* system_parameters_info)(UINT, UINT, PVOID, UINT);  // asked only for SPI_GETHIGHCONTRAST
};

// The calls in use: the system's own unless a test has replaced some.
SystemCalls& system_calls();

// The system's own calls, for a test to restore.
SystemCalls real_system_calls();

// GetAdaptersAddresses of IP Helper from the system folder; ERROR_NOT_SUPPORTED where it has none.
ULONG get_adapters_addresses(ULONG family, ULONG flags, IP_ADAPTER_ADDRESSES* adapters, ULONG* size);

// The IPv4 routing table of IP Helper (GetIpForwardTable2), owned until FreeMibTable; empty where
// the system has no such call or the table cannot be had.
struct ForwardTableFree {
    void operator()(MIB_IPFORWARD_TABLE2* table) const noexcept;
};
using Ipv4ForwardTable = std::unique_ptr<MIB_IPFORWARD_TABLE2, ForwardTableFree>;
Ipv4ForwardTable ipv4_forward_table();

// A modal message box with only an OK button, owned by the foreground window when that window
// belongs to this program (so it comes up in front of the report), otherwise by none.
int show_message(std::wstring_view text, std::wstring_view title, UINT icon);

}  // namespace tovalen::platform
