// A drive that is not ready ends the program after its message, as an orderly end.
#include "platform/programs.h"
#include "support/build_paths.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

TEST(DriveNotReady, ShowsItsMessageThenEndsWithExitCodeZeroAndNoTrayIcon)
{
    const std::wstring child = L"\"" + testing::build_file(L"tests/report/drive_not_ready_child.exe") + L"\"";
    const platform::ChildOutput run = platform::run_hidden_for_output(child, 60'000);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_NE(run.output.find("message|Drive not ready!||0"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("report built"), std::string::npos) << run.output;

    // The tray had the icon while the program ran, and no longer had it when the program's
    // window went at its end.
    EXPECT_NE(run.output.find("tray-icon-at-start|1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("tray-icon-at-end|0"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace tovalen
