// The probes on the real system, and their failure paths through the system-call table where a
// failure cannot be brought about for real.
#include "report/collectors.h"

#include "platform/system_calls.h"
#include "support/build_paths.h"
#include "support/recorded_messages.h"
#include "support/registry_values.h"

#include <gtest/gtest.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tovalen {
namespace {

using testing::ShownMessage;

int startup_calls = 0;
IPAddr arp_destination = 0;
std::vector<std::uint8_t> arp_answer;
DWORD arp_result = NO_ERROR;
ULARGE_INTEGER free_counts[3];

int WINAPI failing_startup(WORD, LPWSADATA)
{
    ++startup_calls;
    return WSASYSNOTREADY;
}

int WINAPI counting_startup(WORD version, LPWSADATA data)
{
    ++startup_calls;
    return ::WSAStartup(version, data);
}

DWORD WINAPI answering_arp(IPAddr destination, IPAddr, PVOID buffer, PULONG length)
{
    arp_destination = destination;
    if (arp_result != NO_ERROR) {
        return arp_result;
    }
    std::memcpy(buffer, arp_answer.data(), arp_answer.size());
    *length = static_cast<ULONG>(arp_answer.size());
    return NO_ERROR;
}

BOOL WINAPI fixed_free_space(LPCWSTR, PULARGE_INTEGER available, PULARGE_INTEGER total, PULARGE_INTEGER free_bytes)
{
    *available = free_counts[0];
    *total = free_counts[1];
    *free_bytes = free_counts[2];
    return TRUE;
}

class Probes : public ::testing::Test {
protected:
    void SetUp() override
    {
        release_network_library();
        recorder_.emplace();
        startup_calls = 0;
        arp_destination = 0;
        arp_result = NO_ERROR;
    }
    void TearDown() override
    {
        release_network_library();
        recorder_.reset();
    }

    static const std::vector<ShownMessage>& shown_messages() { return testing::shown_messages(); }

    std::optional<testing::RecordedMessages> recorder_;
};

TEST_F(Probes, DiskFreeIsTheTotalFreeCountAndRestoresTheErrorMode)
{
    platform::system_calls().get_disk_free_space = fixed_free_space;
    free_counts[0].QuadPart = 1;
    free_counts[1].QuadPart = 2;
    free_counts[2].QuadPart = 500107862016ull;
    // Whatever the rest of the process had set is in force again afterwards.
    const UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(get_disk_free_text(), L"465 GB");
    EXPECT_EQ(::SetErrorMode(before), static_cast<UINT>(SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX));
    EXPECT_TRUE(shown_messages().empty());
}

BOOL WINAPI drive_not_ready(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER)
{
    ::SetLastError(ERROR_NOT_READY);
    return FALSE;
}

// In report mode nothing ends the program: the message goes where report mode points the seam,
// and the value is left empty. (The tray program's end is tested in a process of its own.)
TEST_F(Probes, DriveNotReadyInAnUnattendedCollectionLeavesTheFreeSpaceEmpty)
{
    platform::system_calls().get_disk_free_space = drive_not_ready;
    unattended_collection = true;
    const std::wstring text = get_disk_free_text();
    unattended_collection = false;
    EXPECT_EQ(text, L"");
    ASSERT_EQ(shown_messages().size(), 1u);
    EXPECT_EQ(shown_messages()[0].text, L"Drive not ready!");
}

TEST_F(Probes, DiskFreeOfTheRealDriveIsItsFreeCountCutInItsUnit)
{
    const auto free_count = [] {
        ULARGE_INTEGER available{};
        ULARGE_INTEGER total{};
        ULARGE_INTEGER free_bytes{};
        EXPECT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free_bytes));
        return static_cast<double>(free_bytes.QuadPart);
    };
    // The free space may move while the probe reads it, but not beyond the reads around it.
    const double before = free_count();
    const std::wstring text = get_disk_free_text();
    const double after = free_count();

    const std::size_t blank = text.find(L' ');
    ASSERT_NE(blank, std::wstring::npos) << ::testing::PrintToString(text);
    const std::wstring number = text.substr(0, blank);
    const std::wstring unit = text.substr(blank + 1);
    ASSERT_TRUE(!number.empty() && number.find_first_not_of(L"0123456789.") == std::wstring::npos)
        << ::testing::PrintToString(text);
    const std::wstring units[] = {L"bytes", L"KB", L"MB", L"GB", L"TB", L"PB"};
    const auto power = std::find(std::begin(units), std::end(units), unit) - std::begin(units);
    ASSERT_LT(power, std::ssize(units)) << ::testing::PrintToString(text);
    // Cut, not rounded: the count lies from the number shown up to one step of its last digit more.
    const double shown = std::stod(number);
    const std::size_t point = number.find(L'.');
    const double step = point == std::wstring::npos ? 1.0 : std::pow(10.0, -static_cast<double>(number.size() - point - 1));
    const double scale = std::pow(1024.0, static_cast<double>(power));
    EXPECT_TRUE(shown * scale <= std::max(before, after) && (shown + step) * scale > std::min(before, after))
        << ::testing::PrintToString(text) << " for a free count from " << before << " to " << after;
    EXPECT_TRUE(shown >= 1.0 || power == 0) << "a smaller unit holds it: " << ::testing::PrintToString(text);
    EXPECT_LT(shown, 1024.0) << "a larger unit holds it: " << ::testing::PrintToString(text);
}

TEST_F(Probes, WinsockThatWillNotStartGivesAMessageAndNotAvailable)
{
    platform::system_calls().wsa_startup = failing_startup;
    EXPECT_EQ(get_ip_address_text(), L"n/a");
    ASSERT_EQ(shown_messages().size(), 1u);
    EXPECT_EQ(shown_messages()[0].text, L"Could not initialize WSA.");
    EXPECT_EQ(shown_messages()[0].title, L"");
    EXPECT_EQ(shown_messages()[0].flags, static_cast<UINT>(MB_OK));
    // A failed start is tried again on the next call.
    EXPECT_EQ(get_ip_address_text(), L"n/a");
    EXPECT_EQ(startup_calls, 2);
}

TEST_F(Probes, WinsockIsStartedOncePerRun)
{
    platform::system_calls().wsa_startup = counting_startup;
    const std::wstring first = get_ip_address_text();
    const std::wstring second = get_ip_address_text();
    EXPECT_EQ(first, second);
    EXPECT_EQ(startup_calls, 1);
    EXPECT_TRUE(shown_messages().empty());
}

TEST_F(Probes, IpAddressIsTheFirstOtherThanLoopbackOfTheHostLookup)
{
    const std::wstring text = get_ip_address_text();
    in_addr address{};
    ASSERT_EQ(::InetPtonW(AF_INET, text.c_str(), &address), 1) << text;
    WSADATA data{};
    ASSERT_EQ(::WSAStartup(0x101, &data), 0);
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, 255), 0);
    const hostent* host = ::gethostbyname(name);
    std::uint32_t expected = 0;
    for (char** entry = host != nullptr ? host->h_addr_list : nullptr; entry != nullptr && *entry != nullptr; ++entry) {
        std::uint32_t candidate = 0;
        std::memcpy(&candidate, *entry, 4);
        if (candidate != ::inet_addr("127.0.0.1")) {
            expected = candidate;
            break;
        }
    }
    ::WSACleanup();
    EXPECT_EQ(address.s_addr, expected) << text;
}

TEST_F(Probes, MacAddressIsAskedForTheFirstLocalAddressAndFormatted)
{
    platform::system_calls().send_arp = answering_arp;
    arp_answer = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(get_mac_address_text(), L"00:1A:2B:3C:4D:5E");
    WSADATA data{};
    ASSERT_EQ(::WSAStartup(0x101, &data), 0);
    const hostent* host = ::gethostbyname(nullptr);
    ASSERT_NE(host, nullptr);
    std::uint32_t first = 0;
    std::memcpy(&first, host->h_addr_list[0], 4);
    ::WSACleanup();
    EXPECT_EQ(arp_destination, first);
}

TEST_F(Probes, MacAddressShowsAsManyBytesAsTheAnswerHas)
{
    platform::system_calls().send_arp = answering_arp;
    arp_answer = {0xAB, 0x01, 0x02};
    EXPECT_EQ(get_mac_address_text(), L"AB:01:02");
    arp_answer = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(get_mac_address_text(), L"01:02:03:04:05:06:07:08");
}

TEST_F(Probes, MacAddressIsEmptyWhenTheRequestFails)
{
    platform::system_calls().send_arp = answering_arp;
    arp_result = ERROR_BAD_NET_NAME;
    EXPECT_EQ(get_mac_address_text(), L"");
    EXPECT_NE(arp_destination, 0u);
}

TEST_F(Probes, MacAddressIsEmptyWhenWinsockWillNotStart)
{
    platform::system_calls().wsa_startup = failing_startup;
    platform::system_calls().send_arp = answering_arp;
    arp_answer = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(get_mac_address_text(), L"");
    EXPECT_EQ(arp_destination, 0u);
    EXPECT_TRUE(shown_messages().empty());
}

TEST_F(Probes, MacAddressOfTheRealSystemIsWhatTheSystemAnswersForTheFirstLocalAddress)
{
    // The system's own answer, asked for directly: empty text is right only when it has none.
    WSADATA data{};
    ASSERT_EQ(::WSAStartup(0x101, &data), 0);
    const hostent* host = ::gethostbyname(nullptr);
    std::uint32_t first = 0;
    if (host != nullptr && host->h_addr_list[0] != nullptr) {
        std::memcpy(&first, host->h_addr_list[0], 4);
    }
    ::WSACleanup();
    std::uint8_t answer[MAXLEN_PHYSADDR] = {};
    ULONG length = 6;
    std::wstring expected;
    if (first != 0 && platform::real_system_calls().send_arp(first, 0, answer, &length) == NO_ERROR) {
        ASSERT_LE(length, static_cast<ULONG>(MAXLEN_PHYSADDR));
        for (ULONG i = 0; i < length; ++i) {
            wchar_t pair[4] = {};
            std::swprintf(pair, 4, L"%02X", answer[i]);
            expected += (i == 0 ? L"" : L":") + std::wstring(pair);
        }
    }
    EXPECT_EQ(get_mac_address_text(), expected);
}

// The adapter of the default route (the route to 0.0.0.0) as GetAdaptersAddresses records it,
// read with the system's calls apart from the program's choice; none on an offline host.
std::optional<NetworkAddresses> default_route_adapter()
{
    DWORD index = 0;
    ULONG size = 64 * 1024;
    std::vector<std::uint64_t> buffer(size / 8);
    auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (::GetBestInterface(0, &index) != NO_ERROR ||
        ::GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_GATEWAYS, nullptr, adapter, &size) != NO_ERROR) {
        return std::nullopt;
    }
    while (adapter != nullptr && (adapter->IfIndex != index || adapter->FirstGatewayAddress == nullptr)) {
        adapter = adapter->Next;
    }
    if (adapter == nullptr || adapter->FirstUnicastAddress == nullptr) {
        return std::nullopt;
    }
    wchar_t ip[INET_ADDRSTRLEN] = {};
    const auto* first = reinterpret_cast<sockaddr_in*>(adapter->FirstUnicastAddress->Address.lpSockaddr);
    ::InetNtopW(AF_INET, &first->sin_addr, ip, INET_ADDRSTRLEN);
    return NetworkAddresses{ip, hardware_address_text(adapter->PhysicalAddress, adapter->PhysicalAddressLength)};
}

// The hardware address of the host's default-route device as Linux itself tells it, read through
// Wine's Z: drive: an answer from outside the program and outside Wine's tables. Empty when the
// host has no default route.
std::wstring host_default_route_mac(const std::string& routes)
{
    std::istringstream lines(routes);
    std::string device, destination, rest;
    std::getline(lines, rest);  // the heading
    while (lines >> device >> destination && std::getline(lines, rest)) {
        if (destination == "00000000") {
            std::string address = testing::file_bytes(L"Z:\\sys\\class\\net\\" + std::wstring(device.begin(), device.end()) + L"\\address");
            address.erase(address.find_last_not_of('\n') + 1);
            std::wstring text(address.begin(), address.end());
            std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
            return text;
        }
    }
    return {};
}

TEST_F(Probes, NetworkLinesAreThoseOfTheAdapterWithTheDefaultRoute)
{
    const NetworkAddresses lines = get_network_addresses();
    const std::optional<NetworkAddresses> expected = default_route_adapter();
    EXPECT_EQ(lines.ip, expected ? expected->ip : get_ip_address_text());
    const std::string host_routes = testing::file_bytes(L"Z:\\proc\\net\\route");
    ASSERT_FALSE(host_routes.empty()) << "the host's route table is not readable through Z:";
    EXPECT_EQ(lines.mac, host_default_route_mac(host_routes));
    EXPECT_TRUE(!expected || !lines.mac.empty());
    EXPECT_TRUE(shown_messages().empty());
}

struct HardwareRow {
    std::vector<std::uint8_t> bytes;
    const wchar_t* text;
};

class HardwareAddress : public ::testing::TestWithParam<HardwareRow> {};

TEST_P(HardwareAddress, IsUpperCaseHexPairsJoinedByColons)
{
    EXPECT_EQ(hardware_address_text(GetParam().bytes.data(), GetParam().bytes.size()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Bytes, HardwareAddress,
                         ::testing::Values(HardwareRow{{}, L""}, HardwareRow{{0x0F}, L"0F"},
                                           HardwareRow{{0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01}, L"DE:AD:BE:EF:00:01"}));

// The browser's version value, written for real into the machine key and put back afterwards.
class BrowserVersion : public ::testing::Test {
protected:
    void write(std::wstring_view text)
    {
        ASSERT_TRUE(values_.set(L"svcVersion", REG_SZ, text.data(), text.size() * sizeof(wchar_t)));
    }

    testing::RegistryValues values_{HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer"};
};

TEST_F(BrowserVersion, IsTheStoredText)
{
    write(std::wstring_view(L"11.0.9600.1\0", 12));
    EXPECT_EQ(get_browser_version_text(), L"11.0.9600.1");
}

TEST_F(BrowserVersion, UnterminatedTextKeepsTheBlanksThatFilledTheBuffer)
{
    // 8 bytes: a buffer of 10 characters, 6 of them blanks. Windows leaves the blanks; some
    // registries terminate the text themselves. Either way nothing past the buffer is read.
    write(L"11.0");
    const std::wstring text = get_browser_version_text();
    EXPECT_EQ(text.substr(0, 4), L"11.0");
    EXPECT_LE(text.size(), 10u);
    EXPECT_EQ(text.find_first_not_of(L' ', 4), std::wstring::npos) << ::testing::PrintToString(text);
}

TEST_F(BrowserVersion, EmptyOrMissingValueIsEmpty)
{
    write(L"");
    EXPECT_EQ(get_browser_version_text(), L"");
    ASSERT_TRUE(values_.remove(L"svcVersion"));
    EXPECT_EQ(get_browser_version_text(), L"");
}

}  // namespace
}  // namespace tovalen
