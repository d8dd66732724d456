// Long runs in one process: a thousand report builds with every collector real, then ten
// thousand automation command cycles on real objects. What the process holds (handles, GDI and
// USER objects, private bytes, and the resident size of the Wine process on Linux) must not grow
// with the number of builds or cycles, once the first ones have paid their fixed start-up cost.
#include "comline/comline.h"
#include "report/collectors.h"
#include "report/editor_text.h"
#include "report/report.h"
#include "shell/shell.h"
#include "support/build_paths.h"
#include "support/management_namespaces.h"
#include "support/open_handles.h"
#include "support/system_program.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace tovalen {
namespace {

struct Usage {
    DWORD handles = 0;
    DWORD gdi_objects = 0;  // 0 where the system does not count them (Wine)
    DWORD user_objects = 0;
    DWORD windows = 0;
    SIZE_T committed_bytes = 0;
    long long resident_kib = 0;
};

BOOL CALLBACK count_child(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

BOOL CALLBACK count_own_window(HWND window, LPARAM count)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId()) {
        ++*reinterpret_cast<DWORD*>(count);
        ::EnumChildWindows(window, count_child, count);
    }
    return TRUE;
}

// The windows and controls of this process, a USER count that every system gives.
DWORD own_windows()
{
    DWORD count = 0;
    ::EnumWindows(count_own_window, reinterpret_cast<LPARAM>(&count));
    return count;
}

// The resident size of this Wine process as Linux counts it; /proc is reachable through the
// drive that maps the Linux root.
long long linux_resident_kib()
{
    FILE* status = _wfopen(L"Z:\\proc\\self\\status", L"r");
    if (status == nullptr) {
        return -1;
    }
    char line[256];
    long long kib = -1;
    while (std::fgets(line, sizeof(line), status) != nullptr) {
        if (std::sscanf(line, "VmRSS: %lld kB", &kib) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kib;
}

Usage usage_now()
{
    Usage usage;
    usage.handles = testing::open_handle_count();
    usage.windows = own_windows();
    usage.gdi_objects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    usage.user_objects = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    // The commit charge: Wine leaves PrivateUsage at 0 but fills this, which Windows keeps equal.
    usage.committed_bytes = memory.PagefileUsage;
    usage.resident_kib = linux_resident_kib();
    return usage;
}

int count_from_environment(const wchar_t* name, int fallback)
{
    wchar_t text[32] = {};
    return ::GetEnvironmentVariableW(name, text, 32) > 0 ? _wtoi(text) : fallback;
}

void print_usage(const char* label, const Usage& usage)
{
    std::printf("%-22s handles %4lu  windows %3lu  gdi %4lu  user %4lu  committed %7llu KiB  resident %7lld KiB\n",
                label, usage.handles, usage.windows, usage.gdi_objects, usage.user_objects,
                static_cast<unsigned long long>(usage.committed_bytes / 1024), usage.resident_kib);
}

// Growth allowed between the warm sample and the last one: a few objects of the system's own
// caches, and memory well below one kibibyte per round, which any real per-round leak exceeds.
void expect_flat(const Usage& warm, const Usage& last, int rounds, double system_handles_per_round = 0)
{
    ASSERT_GT(warm.handles, 0u);
    ASSERT_GT(warm.committed_bytes, 0u);
    EXPECT_LE(last.handles, warm.handles + 3 + static_cast<DWORD>(system_handles_per_round * rounds + 0.5));
    EXPECT_EQ(last.windows, warm.windows);
    EXPECT_LE(last.gdi_objects, warm.gdi_objects + 3);
    EXPECT_LE(last.user_objects, warm.user_objects + 3);
    const long long committed_growth =
        static_cast<long long>(last.committed_bytes) - static_cast<long long>(warm.committed_bytes);
    EXPECT_LT(committed_growth, 512LL * rounds + 1024 * 1024) << committed_growth << " bytes over " << rounds << " rounds";
    if (warm.resident_kib >= 0 && last.resident_kib >= 0) {
        EXPECT_LT((last.resident_kib - warm.resident_kib) * 1024, 1024LL * rounds + 4 * 1024 * 1024)
            << "resident growth " << last.resident_kib - warm.resident_kib << " KiB over " << rounds << " rounds";
    }
}

// Handles that binding a moniker of the management service leaves behind in this system itself,
// per binding, measured with nothing but the system's own calls. (Wine 8 leaves two, also for a
// namespace it does not have.) Whatever the system keeps there is not the program's to release.
double handles_kept_per_binding(const wchar_t* moniker)
{
    const auto bind_once = [moniker] {
        IDispatch* service = nullptr;
        if (SUCCEEDED(::CoGetObject(moniker, nullptr, IID_IDispatch, reinterpret_cast<void**>(&service)))) {
            service->Release();
        }
    };
    constexpr int BINDINGS = 50;
    bind_once();
    const DWORD before = testing::open_handle_count();
    for (int i = 0; i < BINDINGS; ++i) {
        bind_once();
    }
    return static_cast<double>(testing::open_handle_count() - before) / BINDINGS;
}

// A build binds root\cimv2 twice, and, without the antivirus vendor's key, the two antivirus
// namespaces once each at most.
double handles_kept_per_build()
{
    return 2 * handles_kept_per_binding(L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2") +
           handles_kept_per_binding(testing::SECURITY_CENTER_MONIKER) + handles_kept_per_binding(testing::DEFENDER_MONIKER);
}

class Soak : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testing::start_up_once();
        net_.emplace(L"net.exe");
        ASSERT_TRUE(net_->replace_with(testing::build_file(L"stand-ins/net/net.exe")));
    }
    static void TearDownTestSuite()
    {
        EXPECT_TRUE(net_->restore());
        net_.reset();
    }

    // The stand-in net.exe is the system's for the whole suite.
    static inline std::optional<testing::SystemProgram> net_;
};

TEST_F(Soak, ReportBuildsHoldNothingMore)
{
    const int builds = count_from_environment(L"TOVALEN_SOAK_BUILDS", 1000);
    constexpr int WARM_UP = 20;
    for (int i = 0; i < WARM_UP; ++i) {
        build_report();
    }
    const Usage warm = usage_now();
    print_usage("after warm-up builds", warm);
    int objects_left = 0;
    int reports_wrong = 0;
    for (int i = 0; i < builds; ++i) {
        build_report();
        objects_left += comline::live_object_count() != 0 ? 1 : 0;
        reports_wrong += report_values.os_name.empty() ? 1 : 0;
    }
    const Usage last = usage_now();
    print_usage("after soak builds", last);
    const double kept_by_system = handles_kept_per_build();
    std::printf("the system keeps %.2f handles per build's bindings of the management service\n", kept_by_system);
    EXPECT_EQ(objects_left, 0);
    EXPECT_EQ(reports_wrong, 0);
    EXPECT_EQ(testing::report_editor_text().rfind(L"----Hardware----\r\n", 0), 0u);
    EXPECT_NE(testing::report_editor_text().find(L"Last System Boot: 4/12/2019 9:14:33 AM"), std::wstring::npos);
    expect_flat(warm, last, builds, kept_by_system);
}

TEST_F(Soak, AutomationCommandCyclesHoldNothingMore)
{
    const int cycles = count_from_environment(L"TOVALEN_SOAK_CYCLES", 10000);
    comline::ComLineObject* dictionary = comline::create_automation_object(L"Scripting.Dictionary", nullptr, true);
    ASSERT_NE(dictionary, nullptr);
    const auto cycle = [dictionary] {
        int wrong = 0;
        wrong += comline::call_method(dictionary, L"Add('key', 'value $0026 more')") != 0 ? 1 : 0;
        wrong += comline::read_integer(dictionary, L"Count") != 1 ? 1 : 0;
        wrong += comline::read_text(dictionary, L"Item('key')") != L"value & more" ? 1 : 0;
        wrong += comline::write_property(dictionary, L"Item('key') = 42") != 0 ? 1 : 0;
        wrong += comline::read_integer(dictionary, L"Item('key')") != 42 ? 1 : 0;
        wrong += comline::read_integer(dictionary, L"Exists('key')") != -1 ? 1 : 0;
        wrong += comline::call_method(dictionary, L"Remove('key')") != 0 ? 1 : 0;
        wrong += comline::call_method(dictionary, L"NoSuchMember(1, 2)") == 0 ? 1 : 0;
        return wrong;
    };
    for (int i = 0; i < 100; ++i) {
        cycle();
    }
    const Usage warm = usage_now();
    print_usage("after warm-up cycles", warm);
    int wrong = 0;
    for (int i = 0; i < cycles; ++i) {
        wrong += cycle();
    }
    const Usage last = usage_now();
    print_usage("after soak cycles", last);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(comline::live_object_count(), 1);
    comline::release_object(dictionary);
    EXPECT_EQ(comline::live_object_count(), 0);
    expect_flat(warm, last, cycles / 10);
}

}  // namespace
}  // namespace tovalen
