// How long one report build and each collector in it take on this machine. Prints a table of
// the median of several runs per item; it is a measurement, not a test.
#include "report/collectors.h"
#include "report/report.h"
#include "shell/shell.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double now_microseconds()
{
    LARGE_INTEGER counter{};
    LARGE_INTEGER frequency{};
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

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

struct Item {
    const char* name;
    std::function<void()> work;
};

constexpr wchar_t WINDOWS_VERSION_KEY[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

}  // namespace

int main(int argc, char** argv)
{
    using namespace tovalen;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    start_up();

    const double first_build = median_microseconds(1, [] { build_report(); });
    const std::vector<Item> items = {
        {"build_report (warm)", [] { build_report(); }},
        {"layout + editor insert", [] {
             window_layer().set_control_text(REPORT_EDITOR, L"");
             insert_report_text(REPORT_EDITOR, layout_report(report_values, L"1/1/2020 1:00:00 AM"));
         }},
        {"get_disk_free_text", [] { get_disk_free_text(); }},
        {"environment variable", [] { read_environment_variable(L"COMPUTERNAME"); }},
        {"get_ip_address_text", [] { get_ip_address_text(); }},
        {"get_mac_address_text", [] { get_mac_address_text(); }},
        {"get_browser_version_text", [] { get_browser_version_text(); }},
        {"read_registry_value", [] { read_registry_value(HKEY_LOCAL_MACHINE, WINDOWS_VERSION_KEY, L"ProductName"); }},
        {"get_serial_number_text", [] { get_serial_number_text(); }},
        {"read_interrupt_time + format_uptime", [] { format_uptime(whole_seconds(read_interrupt_time())); }},
        {"get_memory_size_text", [] { get_memory_size_text(); }},
        {"get_last_boot_text", [] { get_last_boot_text(); }},
    };
    std::printf("%-40s %14s\n", "item", "median us");
    std::printf("%-40s %14.1f\n", "build_report (first)", first_build);
    for (const Item& item : items) {
        std::printf("%-40s %14.1f\n", item.name, median_microseconds(runs, item.work));
    }
    std::printf("(%d runs each; the report's registry reads are 9 calls of read_registry_value)\n", runs);
    end_program();
}
