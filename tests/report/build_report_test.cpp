#include "report/editor_text.h"
#include "report/report.h"

#include "shell/shell.h"

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

TEST_F(BuildReport, EditorShowsTheLaidOutValues)
{
    ::SetEnvironmentVariableW(L"COMPUTERNAME", L"PC-0042");
    ::SetEnvironmentVariableW(L"USERDOMAIN", L"CORP");
    ::SetEnvironmentVariableW(L"USERNAME", L"jsmith");
    ::SetEnvironmentVariableW(L"LOGONSERVER", L"\\\\DC01");
    build_report();
    EXPECT_EQ(report_values.computer_name, L"PC-0042");
    EXPECT_EQ(report_values.domain, L"CORP");
    EXPECT_EQ(report_values.user_name, L"jsmith");
    EXPECT_EQ(report_values.logon_server, L"\\\\DC01");
    const std::wstring text = report_editor_text();
    EXPECT_NE(text.find(L"\r\nUser Name: jsmith\r\nLogon Server: \\\\DC01\r\n"), std::wstring::npos) << ::testing::PrintToString(text.substr(0, 400));
    EXPECT_EQ(text.rfind(L"----Hardware----\r\n", 0), 0u);
}

TEST_F(BuildReport, SecondBuildReplacesTheFirstInsteadOfAddingToIt)
{
    build_report();
    const std::wstring first = report_editor_text();
    build_report();
    EXPECT_EQ(report_editor_text().size(), first.size());
}

TEST_F(BuildReport, MissingVariableGivesAnEmptyValue)
{
    ::SetEnvironmentVariableW(L"LOGONSERVER", nullptr);
    build_report();
    EXPECT_EQ(report_values.logon_server, L"");
    EXPECT_NE(report_editor_text().find(L"\r\nLogon Server: \r\n"), std::wstring::npos);
}

TEST_F(BuildReport, VariableAtTheSystemLimitIsShownWhole)
{
    std::wstring longest(ENVIRONMENT_VALUE_LIMIT - 1, L'n');
    longest.front() = L'A';
    longest.back() = L'Z';
    ASSERT_TRUE(::SetEnvironmentVariableW(L"COMPUTERNAME", longest.c_str()));
    build_report();
    EXPECT_EQ(report_values.computer_name, longest);
    EXPECT_NE(report_editor_text().find(L"Computer Name: " + longest + L"\r\nDomain: "), std::wstring::npos);
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
        ASSERT_TRUE(::SetEnvironmentVariableW(L"TOVALEN_TEST_VARIABLE", value.c_str()));
        EXPECT_EQ(read_environment_variable(L"TOVALEN_TEST_VARIABLE"), value);
    }
    ::SetEnvironmentVariableW(L"TOVALEN_TEST_VARIABLE", nullptr);
    EXPECT_EQ(read_environment_variable(L"TOVALEN_TEST_VARIABLE"), L"");
    ::SetEnvironmentVariableW(L"TOVALEN_TEST_VARIABLE", L"");
    EXPECT_EQ(read_environment_variable(L"TOVALEN_TEST_VARIABLE"), L"");
}

}  // namespace
}  // namespace tovalen
