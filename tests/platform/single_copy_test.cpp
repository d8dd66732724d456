// Finding the copy that holds the name, with real named shared memory and real windows of the
// test standing in for a copy's report window.
#include "platform/single_copy.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tovalen::platform {
namespace {

using Standing = SingleCopy::Standing;

constexpr DWORD WAIT_MS = 300;

// A name of the test's own, so that a copy of the program running meanwhile is not disturbed.
std::wstring test_name(int row)
{
    return L"Local\\TovalenTest.OneCopy." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(row);
}

UniqueWindow make_window()
{
    return UniqueWindow(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
}

// How the start before left the name.
enum class Before { announced, starting, announced_no_window, window_gone, other_kind_of_object };

struct Row {
    const char* what;
    Before before;
    Standing expected;
};

constexpr Row ROWS[] = {
    {"a copy announced its window", Before::announced, Standing::other_found},
    {"a copy is still starting", Before::starting, Standing::other_starting},
    {"a copy made no window and cannot be signalled", Before::announced_no_window, Standing::sole},
    {"the copy's window is gone: it has ended", Before::window_gone, Standing::sole},
    {"an object of another kind holds the name", Before::other_kind_of_object, Standing::unguarded},
};

TEST(SingleCopy, NextStartStandsAsTheStartBeforeLeftTheName)
{
    int number = 0;
    for (const Row& row : ROWS) {
        SCOPED_TRACE(row.what);
        const std::wstring name = test_name(++number);
        UniqueWindow window = make_window();
        ASSERT_TRUE(window);
        UniqueKernelHandle squatter;
        std::optional<SingleCopy> before;
        if (row.before == Before::other_kind_of_object) {
            squatter.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
            ASSERT_TRUE(squatter);
        } else {
            before.emplace(name, WAIT_MS);
            ASSERT_EQ(before->standing(), Standing::sole) << "nobody held the name";
        }
        const HWND window_handle = window.get();
        switch (row.before) {
        case Before::announced:
            before->announce(window_handle);
            break;
        case Before::announced_no_window:
            before->announce(nullptr);
            break;
        case Before::window_gone:
            before->announce(window_handle);
            window.reset();
            break;
        case Before::starting:
        case Before::other_kind_of_object:
            break;
        }

        const ULONGLONG started = ::GetTickCount64();
        const SingleCopy next(name, WAIT_MS);
        EXPECT_EQ(next.standing(), row.expected);
        if (row.expected == Standing::other_found) {
            EXPECT_EQ(next.other().window, window_handle);
            EXPECT_EQ(next.other().process_id, ::GetCurrentProcessId());
        }
        if (row.expected == Standing::other_starting) {
            EXPECT_GE(::GetTickCount64() - started, WAIT_MS) << "it did not wait for the window";
        }
    }
}

}  // namespace
}  // namespace tovalen::platform
