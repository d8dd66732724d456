#include "report/editor_text.h"
#include "report/report.h"

#include "shell/shell.h"
#include "support/scoped_state.h"
#include "support/system_identity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tovalen {
namespace {

// The system's limit for one environment variable's value, terminator included.
constexpr std::size_t ENVIRONMENT_VALUE_LIMIT = 32767;

using testing::report_editor_text;

class BuildReport : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::start_up_once(); }
};

// The computer and the account as the system knows them, whatever the user's environment says;
// only the logon server is taken from there.
TEST_F(BuildReport, EditorShowsTheLaidOutValues)
{
    testing::EnvironmentVariable computer(L"COMPUTERNAME", L"PC-FINANCE-07");
    testing::EnvironmentVariable domain(L"USERDOMAIN", L"FORGED");
    testing::EnvironmentVariable user(L"USERNAME", L"FORGED-USER");
    testing::EnvironmentVariable logon_server(L"LOGONSERVER", L"\\\\DC01");
    build_report();
    const testing::SystemIdentity system = testing::system_identity();
    ASSERT_FALSE(system.computer.empty() || system.domain.empty() || system.user.empty());
    EXPECT_EQ(report_values.computer_name, system.computer);
    EXPECT_EQ(report_values.domain, system.domain);
    EXPECT_EQ(report_values.user_name, system.user);
    EXPECT_EQ(report_values.logon_server, L"\\\\DC01");
    const std::wstring text = report_editor_text();
    EXPECT_NE(text.find(L"\r\nUser Name: " + system.user + L"\r\nLogon Server: \\\\DC01\r\n"), std::wstring::npos) << ::testing::PrintToString(text.substr(0, 400));
    EXPECT_EQ(text.rfind(L"----Hardware----\r\n", 0), 0u);
}

// The report's lines by their heads: the text after each head changes from build to build
// (free space, uptime), the shape does not.
std::vector<std::wstring> line_heads(const std::wstring& text)
{
    std::vector<std::wstring> heads;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        const std::wstring line = text.substr(start, end - start);
        const std::size_t colon = line.find(L':');
        heads.push_back(colon == std::wstring::npos ? line : line.substr(0, colon + 1));
        start = end + 2;
    }
    return heads;
}

TEST_F(BuildReport, SecondBuildReplacesTheFirstInsteadOfAddingToIt)
{
    const std::vector<std::wstring> shape = {
        L"----Hardware----", L"Model:", L"Serial#:", L"BIOS Version:", L"HDD Free Space:", L"",
        L"----OS----", L"Computer Name:", L"Domain:", L"Operating System:", L"OS Version:", L"OS Build:",
        L"Last System Boot:", L"Total Uptime:", L"", L"----Network----", L"IP Address:", L"MAC Address:", L"",
        L"----User----", L"User Name:", L"Logon Server:", L"", L"----Software----", L"IE Version:",
        L"Antivirus Running:", L"Antivirus Build:", L"Antivirus Definition Date:"};
    ASSERT_EQ(shape.size(), 28u);
    build_report();
    ASSERT_EQ(line_heads(report_editor_text()), shape) << "the first build";
    build_report();
    EXPECT_EQ(line_heads(report_editor_text()), shape) << "the second build replaced the first";
}

TEST_F(BuildReport, MissingVariableGivesAnEmptyValue)
{
    testing::EnvironmentVariable logon_server(L"LOGONSERVER", nullptr);
    build_report();
    EXPECT_EQ(report_values.logon_server, L"");
    EXPECT_NE(report_editor_text().find(L"\r\nLogon Server: \r\n"), std::wstring::npos);
}

// A logon server that names no server (here one at the system's limit for a variable) is not
// shown: the line stays, empty.
TEST_F(BuildReport, LogonServerThatNamesNoServerIsLeftOut)
{
    std::wstring longest(ENVIRONMENT_VALUE_LIMIT - 1, L'n');
    longest.replace(0, 2, L"\\\\");
    testing::EnvironmentVariable logon_server(L"LOGONSERVER", longest);
    ASSERT_TRUE(logon_server.set());
    build_report();
    EXPECT_EQ(report_values.logon_server, L"");
    EXPECT_NE(report_editor_text().find(L"\r\nLogon Server: \r\n"), std::wstring::npos);
}

struct EnvironmentRow {
    std::size_t length;
};

TEST(ReadEnvironmentVariable, ReadsValuesOfEveryLengthWhole)
{
    for (std::size_t length : {std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{257}, std::size_t{4096},
                               ENVIRONMENT_VALUE_LIMIT - 1}) {
        SCOPED_TRACE(length);
        const std::wstring value(length, L'v');
        testing::EnvironmentVariable variable(L"TOVALEN_TEST_VARIABLE", value);
        ASSERT_TRUE(variable.set());
        EXPECT_EQ(read_environment_variable(L"TOVALEN_TEST_VARIABLE"), value);
    }
    for (const wchar_t* empty : {static_cast<const wchar_t*>(nullptr), L""}) {
        testing::EnvironmentVariable variable(L"TOVALEN_TEST_VARIABLE", empty);
        EXPECT_EQ(read_environment_variable(L"TOVALEN_TEST_VARIABLE"), L"");
    }
}

}  // namespace
}  // namespace tovalen
