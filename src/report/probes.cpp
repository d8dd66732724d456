#include "report/collectors.h"

#include "platform/system_calls.h"
#include "report/buffers.h"
#include "shell/shell.h"

#include <ws2tcpip.h>

#include <cstring>
#include <vector>

namespace tovalen {

namespace {

constexpr WORD WINSOCK_VERSION_1_1 = 0x101;
constexpr wchar_t BROWSER_KEY[] = L"Software\\Microsoft\\Internet Explorer\\";

// Started by the IP probe once for the whole run; released at the program's end.
bool winsock_started = false;

constexpr std::uint32_t LOOPBACK_ADDRESS = 0x0100007F;  // 127.0.0.1 in network order

bool holds_ipv4_addresses(const hostent* host)
{
    return host != nullptr && host->h_addrtype == AF_INET && host->h_length == 4;
}

std::uint32_t first_address_other_than_loopback(const hostent* host)
{
    if (!holds_ipv4_addresses(host)) {
        return 0;
    }
    for (char** entry = host->h_addr_list; *entry != nullptr; ++entry) {
        std::uint32_t address = 0;
        std::memcpy(&address, *entry, sizeof(address));
        if (address != LOOPBACK_ADDRESS) {
            return address;
        }
    }
    return 0;
}

bool start_winsock_once()
{
    if (winsock_started) {
        return true;
    }
    WSADATA data{};
    winsock_started = platform::system_calls().wsa_startup(WINSOCK_VERSION_1_1, &data) == 0;
    return winsock_started;
}

// The first address of the local computer's own lookup, loopback included; 0 when none.
std::uint32_t local_host_first_address()
{
    WSADATA data{};
    if (platform::system_calls().wsa_startup(WINSOCK_VERSION_1_1, &data) != 0) {
        return 0;
    }
    std::uint32_t address = 0;
    // Winsock keeps the lookup's result in the calling thread's own storage.
    const hostent* host = ::gethostbyname(nullptr);  // NOLINT(concurrency-mt-unsafe)
    if (holds_ipv4_addresses(host) && host->h_addr_list[0] != nullptr) {
        std::memcpy(&address, host->h_addr_list[0], sizeof(address));
    }
    ::WSACleanup();
    return address;
}

std::wstring read_browser_version()
{
    platform::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, BROWSER_KEY, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t probe[1] = {};
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), L"svcVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(probe), &size) !=
        ERROR_MORE_DATA) {
        return {};
    }
    // Blanks fill what the data does not; one more character past the capacity keeps the text
    // terminated when the stored string is not.
    std::vector<wchar_t> text(static_cast<std::size_t>(size) + 2 + 1, L' ');
    text.back() = L'\0';
    DWORD capacity = size;
    if (::RegQueryValueExW(key.get(), L"svcVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &capacity) !=
        ERROR_SUCCESS) {
        return {};
    }
    return std::wstring(text.data());
}

}  // namespace

std::wstring get_disk_free_text()
{
    platform::SystemCalls& calls = platform::system_calls();
    // The mode belongs to the whole process; whatever the rest of it set is put back.
    const UINT previous_mode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER free_bytes{};
    const bool counted = calls.get_disk_free_space(L"C:\\", &available, &total, &free_bytes) != FALSE;
    ::SetErrorMode(previous_mode);
    if (counted) {
        return format_byte_size(static_cast<std::int64_t>(free_bytes.QuadPart));
    }
    platform::show_message(L"Drive not ready!", L"", 0);
    if (unattended_collection) {
        return {};
    }
    end_program();
}

std::wstring get_ip_address_text()
{
    if (!start_winsock_once()) {
        platform::show_message(L"Could not initialize WSA.", L"", 0);
        return L"n/a";
    }
    char name[256] = {};
    std::uint32_t address = 0;
    if (::gethostname(name, 255) == 0) {
        // Winsock keeps the lookup's result in the calling thread's own storage.
        address = first_address_other_than_loopback(::gethostbyname(name));  // NOLINT(concurrency-mt-unsafe)
    }
    return dotted_address(address);
}

std::wstring get_mac_address_text()
{
    const std::uint32_t address = local_host_first_address();
    if (address == 0) {
        return {};
    }
    // Room for the longest physical address the request can report, so that a length above six
    // never reads past the buffer.
    std::uint8_t hardware[MAXLEN_PHYSADDR] = {};
    ULONG length = 6;
    if (platform::system_calls().send_arp(address, 0, hardware, &length) != NO_ERROR) {
        return {};
    }
    return hardware_address_text(hardware, length < sizeof(hardware) ? length : sizeof(hardware));
}

std::wstring get_browser_version_text() { return text_unless_out_of_memory(read_browser_version); }

void release_network_library()
{
    if (winsock_started) {
        ::WSACleanup();
        winsock_started = false;
    }
}

}  // namespace tovalen
