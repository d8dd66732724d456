// One report build and each collector in it, beside the raw floor: the same system calls made
// directly, with nothing of the program around them. Prints a table of medians and writes the
// figures as JSON (first argument: the JSON file; second: runs per item).
#include "clock.h"
#include "comline/comline.h"
#include "platform/process_account.h"
#include "report/collectors.h"
#include "report/report.h"
#include "shell/shell.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace tovalen;

double now_microseconds() { return bench::now_ns() / 1e3; }

double median_microseconds(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = now_microseconds();
        work();
        times.push_back(now_microseconds() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

constexpr wchar_t MONIKER[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2";
constexpr wchar_t VERSION_KEY[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// --- The raw floor: the system's calls, made directly -------------------------------------

void raw_registry_read(const wchar_t* key_path, const wchar_t* name)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> data(size + 2);
        DWORD type = 0;
        ::RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    }
    ::RegCloseKey(key);
}

void raw_name_lookups()
{
    char name[256] = {};
    ::gethostname(name, 255);
    ::gethostbyname(name);
}

void raw_hardware_address()
{
    WSADATA data{};
    ::WSAStartup(0x101, &data);
    const hostent* host = ::gethostbyname(nullptr);
    IPAddr address = 0;
    if (host != nullptr && host->h_addr_list[0] != nullptr) {
        std::memcpy(&address, host->h_addr_list[0], 4);
    }
    ::WSACleanup();
    BYTE hardware[8] = {};
    ULONG length = 6;
    ::SendARP(address, 0, hardware, &length);
}

void raw_net_statistics()
{
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    ::CreatePipe(&read_end, &write_end, &inheritable, 0);
    ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = write_end;
    PROCESS_INFORMATION process{};
    wchar_t folder[MAX_PATH] = {};
    ::GetSystemDirectoryW(folder, MAX_PATH);
    std::wstring command_line = L"\"" + std::wstring(folder) + L"\\net.exe\" statistics workstation ";
    if (::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        ::CloseHandle(write_end);
        char block[4096];
        DWORD count = 0;
        while (::ReadFile(read_end, block, sizeof(block), &count, nullptr) && count > 0) {
        }
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    } else {
        ::CloseHandle(write_end);
    }
    ::CloseHandle(read_end);
}

struct RawWmiTimes {
    double connect = 0;
    double query = 0;
    double enumeration = 0;
    double property = 0;
};

HRESULT raw_invoke(IDispatch* target, const wchar_t* name, DISPPARAMS& arguments, VARIANT* result)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        return hr;
    }
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &arguments,
                          result, nullptr, nullptr);
}

// Connect, query, walk and read one property with plain IDispatch, each stage timed.
RawWmiTimes raw_wmi_query(const wchar_t* moniker, const wchar_t* query, const wchar_t* property)
{
    RawWmiTimes times;
    double start = now_microseconds();
    IDispatch* service = nullptr;
    if (FAILED(::CoGetObject(moniker, nullptr, IID_IDispatch, reinterpret_cast<void**>(&service)))) {
        return times;
    }
    times.connect = now_microseconds() - start;

    start = now_microseconds();
    VARIANT argument;
    ::VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = ::SysAllocString(query);
    DISPPARAMS one{&argument, nullptr, 1, 0};
    VARIANT collection;
    ::VariantInit(&collection);
    raw_invoke(service, L"ExecQuery", one, &collection);
    ::VariantClear(&argument);
    times.query = now_microseconds() - start;

    start = now_microseconds();
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT enumerator;
    ::VariantInit(&enumerator);
    IEnumVARIANT* items = nullptr;
    if (collection.vt == VT_DISPATCH &&
        SUCCEEDED(collection.pdispVal->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                              DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &enumerator, nullptr,
                                              nullptr))) {
        enumerator.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items));
    }
    ::VariantClear(&enumerator);
    double property_time = 0;
    if (items != nullptr) {
        VARIANT item;
        ::VariantInit(&item);
        while (items->Next(1, &item, nullptr) == S_OK) {
            const double read_start = now_microseconds();
            VARIANT value;
            ::VariantInit(&value);
            raw_invoke(item.pdispVal, property, none, &value);
            ::VariantChangeType(&value, &value, VARIANT_LOCALBOOL, VT_BSTR);
            ::VariantClear(&value);
            property_time += now_microseconds() - read_start;
            ::VariantClear(&item);
        }
        items->Release();
    }
    times.enumeration = now_microseconds() - start - property_time;
    times.property = property_time;
    ::VariantClear(&collection);
    service->Release();
    return times;
}

double raw_wmi_total(const wchar_t* moniker, const wchar_t* query, const wchar_t* property)
{
    const RawWmiTimes t = raw_wmi_query(moniker, query, property);
    return t.connect + t.query + t.enumeration + t.property;
}

// --- The same stages through the automation layer ---------------------------------------

RawWmiTimes layer_wmi_query(const wchar_t* command, const wchar_t* property)
{
    RawWmiTimes times;
    double start = now_microseconds();
    comline::ComLineObject* service = comline::get_automation_object(MONIKER, L"", true);
    times.connect = now_microseconds() - start;
    if (service == nullptr) {
        return times;
    }
    start = now_microseconds();
    comline::ComLineEnumeration* items = comline::open_enumeration(service, command);
    times.query = now_microseconds() - start;
    start = now_microseconds();
    double property_time = 0;
    if (items != nullptr) {
        while (comline::ComLineObject* item = comline::next_object(items)) {
            const double read_start = now_microseconds();
            comline::read_text(item, property);
            property_time += now_microseconds() - read_start;
            comline::release_object(item);
        }
        comline::release_enumeration(items);
    }
    times.enumeration = now_microseconds() - start - property_time;
    times.property = property_time;
    comline::release_object(service);
    return times;
}

struct Row {
    std::string name;
    double program_us;
    double raw_us;
};

RawWmiTimes median_stages(int runs, const std::function<RawWmiTimes()>& query)
{
    std::vector<RawWmiTimes> all;
    for (int i = 0; i < runs; ++i) {
        all.push_back(query());
    }
    const auto median_of = [&all](double RawWmiTimes::* stage) {
        std::vector<double> values;
        for (const RawWmiTimes& t : all) {
            values.push_back(t.*stage);
        }
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {median_of(&RawWmiTimes::connect), median_of(&RawWmiTimes::query), median_of(&RawWmiTimes::enumeration),
            median_of(&RawWmiTimes::property)};
}

// The adapters' list, read as the network lines read it; true when an adapter up, not loopback,
// with an IPv4 gateway is listed (the build then asks nothing more of the network).
bool raw_adapter_list()
{
    ULONG size = 16 * 1024;
    std::vector<std::uint64_t> buffer(size / 8);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (::GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_GATEWAYS | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                                            GAA_FLAG_SKIP_DNS_SERVER,
                               nullptr, adapters, &size) != NO_ERROR) {
        return false;
    }
    for (const IP_ADAPTER_ADDRESSES* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus == IfOperStatusUp && adapter->IfType != IF_TYPE_SOFTWARE_LOOPBACK &&
            adapter->FirstGatewayAddress != nullptr) {
            return true;
        }
    }
    return false;
}

void raw_network_lines()
{
    if (!raw_adapter_list()) {
        raw_name_lookups();
        raw_hardware_address();
    }
}

constexpr wchar_t SECURITY_CENTER_MONIKER[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\SecurityCenter2";
constexpr wchar_t DEFENDER_MONIKER[] =
    L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\Microsoft\\Windows\\Defender";

// The two antivirus queries, made directly, as far as the system answers them.
void raw_antivirus_queries()
{
    raw_wmi_total(SECURITY_CENTER_MONIKER, L"Select displayName, productState from AntiVirusProduct", L"productState");
    raw_wmi_total(DEFENDER_MONIKER, L"Select * from MSFT_MpComputerStatus", L"AMProductVersion");
}

// The computer's name and the token's account, asked directly.
void raw_identity()
{
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computer_size = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameExW(ComputerNameNetBIOS, computer, &computer_size);
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return;
    }
    alignas(TOKEN_USER) BYTE user[256];
    DWORD size = 0;
    if (::GetTokenInformation(token, TokenUser, user, sizeof user, &size)) {
        wchar_t name[256];
        wchar_t domain[256];
        DWORD name_size = 256;
        DWORD domain_size = 256;
        SID_NAME_USE use{};
        ::LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(user)->User.Sid, name, &name_size, domain,
                            &domain_size, &use);
    }
    ::CloseHandle(token);
}

// The floor of one build: every system call the build makes, made directly, and the same text
// put into the same editor.
void raw_build_floor()
{
    ULARGE_INTEGER a{}, b{}, c{};
    ::GetDiskFreeSpaceExW(L"C:\\", &a, &b, &c);
    raw_identity();
    wchar_t logon_server[256];
    ::GetEnvironmentVariableW(L"LOGONSERVER", logon_server, 256);
    raw_network_lines();
    raw_registry_read(L"Software\\Microsoft\\Internet Explorer", L"svcVersion");
    for (const wchar_t* name : {L"ProductName", L"DisplayVersion", L"ReleaseId", L"CurrentBuild", L"UBR"}) {
        raw_registry_read(VERSION_KEY, name);
    }
    raw_registry_read(L"Hardware\\Description\\System\\BIOS", L"SystemProductName");
    raw_registry_read(L"Hardware\\Description\\System\\BIOS", L"BIOSVersion");
    raw_wmi_total(MONIKER, L"Select * from Win32_SystemEnclosure", L"SerialNumber");
    for (const wchar_t* name : {L"AVRunningStatus", L"DeployRunningVersion", L"LatestVirusDefsDate"}) {
        raw_registry_read(L"SOFTWARE\\Symantec\\Symantec Endpoint Protection\\CurrentVersion\\public-opstate", name);
    }
    raw_antivirus_queries();  // the vendor's key is absent here, as on almost every machine
    raw_wmi_total(MONIKER, L"Select * from Win32_PhysicalMemory", L"Capacity");
    raw_net_statistics();
    window_layer().set_control_text(REPORT_EDITOR, L"");
    insert_report_text(REPORT_EDITOR, layout_report(report_values, L"1/1/2020 1:00:00 AM"));
}

}  // namespace

// A first build is only first once per process: "first program|floor <json>" measures the one or
// the other in a fresh process of its own.
int measure_first_build(const char* what, const char* json_path)
{
    start_up();
    WSADATA data{};
    ::WSAStartup(0x101, &data);
    const bool floor = std::strcmp(what, "floor") == 0;
    const double us = median_microseconds(1, floor ? std::function<void()>(raw_build_floor)
                                                   : std::function<void()>([] { build_report(); }));
    std::printf("first %s: %.1f us\n", floor ? "raw floor" : "report build", us);
    if (FILE* json = std::fopen(json_path, "w")) {
        std::fprintf(json, "{\"first_us\": %.1f}\n", us);
        std::fclose(json);
    }
    end_program();
}

int main(int argc, char** argv)
{
    if (argc > 3 && std::strcmp(argv[1], "first") == 0) {
        return measure_first_build(argv[2], argv[3]);
    }
    const char* json_path = argc > 1 ? argv[1] : nullptr;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    start_up();
    WSADATA data{};
    ::WSAStartup(0x101, &data);  // the raw floor's own once-per-run start, as the IP probe's

    const double first_floor = median_microseconds(1, raw_build_floor);
    const double first_build = median_microseconds(1, [] { build_report(); });

    const std::vector<Row> rows = {
        {"build_report (warm)", median_microseconds(runs, [] { build_report(); }), median_microseconds(runs, raw_build_floor)},
        {"get_disk_free_text", median_microseconds(runs, [] { get_disk_free_text(); }),
         median_microseconds(runs, [] {
             ULARGE_INTEGER a{}, b{}, c{};
             ::GetDiskFreeSpaceExW(L"C:\\", &a, &b, &c);
         })},
        {"environment variable", median_microseconds(runs, [] { read_environment_variable(L"COMPUTERNAME"); }),
         median_microseconds(runs, [] {
             wchar_t value[256];
             ::GetEnvironmentVariableW(L"COMPUTERNAME", value, 256);
         })},
        {"computer and account names",
         median_microseconds(runs, [] {
             platform::netbios_computer_name();
             platform::process_account_name();
         }),
         median_microseconds(runs, raw_identity)},
        {"get_ip_address_text", median_microseconds(runs, [] { get_ip_address_text(); }),
         median_microseconds(runs, raw_name_lookups)},
        {"get_mac_address_text", median_microseconds(runs, [] { get_mac_address_text(); }),
         median_microseconds(runs, raw_hardware_address)},
        {"get_network_addresses", median_microseconds(runs, [] { get_network_addresses(); }),
         median_microseconds(runs, raw_network_lines)},
        {"get_windows_antivirus_lines", median_microseconds(runs, [] { get_windows_antivirus_lines(); }),
         median_microseconds(runs, raw_antivirus_queries)},
        {"get_browser_version_text", median_microseconds(runs, [] { get_browser_version_text(); }),
         median_microseconds(runs, [] { raw_registry_read(L"Software\\Microsoft\\Internet Explorer", L"svcVersion"); })},
        {"read_registry_value",
         median_microseconds(runs, [] { read_registry_value(HKEY_LOCAL_MACHINE, VERSION_KEY, L"ProductName"); }),
         median_microseconds(runs, [] { raw_registry_read(VERSION_KEY, L"ProductName"); })},
        {"get_serial_number_text", median_microseconds(runs, [] { get_serial_number_text(); }),
         median_microseconds(runs, [] { raw_wmi_total(MONIKER, L"Select * from Win32_SystemEnclosure", L"SerialNumber"); })},
        {"get_memory_size_text", median_microseconds(runs, [] { get_memory_size_text(); }),
         median_microseconds(runs, [] { raw_wmi_total(MONIKER, L"Select * from Win32_PhysicalMemory", L"Capacity"); })},
        {"uptime", median_microseconds(runs, [] { format_uptime(whole_seconds(read_interrupt_time())); }),
         median_microseconds(runs, [] {
             volatile ULONGLONG tick = ::GetTickCount64();
             (void)tick;
         })},
        {"get_last_boot_text", median_microseconds(runs, [] { get_last_boot_text(); }),
         median_microseconds(runs, raw_net_statistics)},
    };
    const RawWmiTimes layer = median_stages(runs, [] {
        return layer_wmi_query(L"ExecQuery('Select * from Win32_PhysicalMemory')", L"Capacity");
    });
    const RawWmiTimes raw = median_stages(runs, [] {
        return raw_wmi_query(MONIKER, L"Select * from Win32_PhysicalMemory", L"Capacity");
    });

    std::printf("%-30s %14s %14s %8s\n", "item", "program us", "raw floor us", "ratio");
    std::printf("%-30s %14.1f %14.1f %8.3f\n", "first build (the floor went first)", first_build, first_floor, first_build / first_floor);
    for (const Row& row : rows) {
        std::printf("%-30s %14.1f %14.1f %8.3f\n", row.name.c_str(), row.program_us, row.raw_us,
                    row.raw_us > 0 ? row.program_us / row.raw_us : 0.0);
    }
    std::printf("\nmemory query by stage           automation us         raw us\n");
    const char* stage_names[] = {"connect", "query", "enumeration", "property read"};
    const double layer_stages[] = {layer.connect, layer.query, layer.enumeration, layer.property};
    const double raw_stages[] = {raw.connect, raw.query, raw.enumeration, raw.property};
    for (int i = 0; i < 4; ++i) {
        std::printf("%-30s %14.1f %14.1f\n", stage_names[i], layer_stages[i], raw_stages[i]);
    }
    std::printf("(%d runs each, medians)\n", runs);

    if (json_path != nullptr) {
        if (FILE* json = std::fopen(json_path, "w")) {
            std::fprintf(json, "{\n  \"runs\": %d,\n  \"first_build_us\": %.1f,\n  \"first_floor_us\": %.1f,\n", runs,
                         first_build, first_floor);
            std::fprintf(json, "  \"items\": [\n");
            for (std::size_t i = 0; i < rows.size(); ++i) {
                std::fprintf(json, "    {\"name\": \"%s\", \"program_us\": %.1f, \"raw_us\": %.1f}%s\n",
                             rows[i].name.c_str(), rows[i].program_us, rows[i].raw_us, i + 1 < rows.size() ? "," : "");
            }
            std::fprintf(json, "  ],\n  \"memory_query_stages\": [\n");
            for (int i = 0; i < 4; ++i) {
                std::fprintf(json, "    {\"stage\": \"%s\", \"automation_us\": %.1f, \"raw_us\": %.1f}%s\n",
                             stage_names[i], layer_stages[i], raw_stages[i], i < 3 ? "," : "");
            }
            std::fprintf(json, "  ]\n}\n");
            std::fclose(json);
        }
    }
    end_program();
}
