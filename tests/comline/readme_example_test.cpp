// The README's "Using ComLine" example, which the build takes from the README itself, run against
// the real management service.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "comline/layer_fixture.h"

// Defined by the README's example.
std::vector<std::wstring> running_process_names();

namespace tovalen::comline::testing {
namespace {

std::wstring own_file_name()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring text(path, length);
    return text.substr(text.find_last_of(L"\\/") + 1);
}

using ReadmeExampleTest = LayerTest;

TEST_F(ReadmeExampleTest, ListsThisProgramAmongTheRunningProcessesAndReleasesEverything)
{
    const std::vector<std::wstring> names = running_process_names();
    const std::wstring own_name = own_file_name();
    EXPECT_GT(names.size(), 1u);
    EXPECT_NE(std::find_if(names.begin(), names.end(),
                           [&](const std::wstring& name) { return ::_wcsicmp(name.c_str(), own_name.c_str()) == 0; }),
              names.end())
        << "no process named " << ::testing::PrintToString(own_name);
    EXPECT_EQ(live_object_count(), 0);
}

}  // namespace
}  // namespace tovalen::comline::testing
