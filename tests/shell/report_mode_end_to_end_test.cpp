// The program started by a script: the report written to a file or standard output, with
// nothing shown and the tray copy left alone, and the exit codes a script goes by.
#include "support/build_paths.h"
#include "support/program_under_test.h"
#include "support/registry_values.h"
#include "support/scoped_state.h"
#include "support/system_identity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tovalen {
namespace {

using testing::FinishedRun;
using testing::ProgramUnderTest;

constexpr wchar_t BIOS_KEY[] = L"Hardware\\Description\\System\\BIOS";
constexpr char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

// Each JSON member and the report line that shows the same value, from the report's layout.
const std::pair<const wchar_t*, const wchar_t*> MEMBER_LINES[] = {
    {L"model", L"Model: "}, {L"serial_number", L"Serial#: "}, {L"bios_version", L"BIOS Version: "},
    {L"disk_free", L"HDD Free Space: "}, {L"computer_name", L"Computer Name: "}, {L"domain", L"Domain: "},
    {L"os_name", L"Operating System: "}, {L"os_version", L"OS Version: "}, {L"os_build", L"OS Build: "},
    {L"last_boot", L"Last System Boot: "}, {L"uptime", L"Total Uptime: "}, {L"ip_address", L"IP Address: "},
    {L"mac_address", L"MAC Address: "}, {L"user_name", L"User Name: "}, {L"logon_server", L"Logon Server: "},
    {L"ie_version", L"IE Version: "}, {L"av_running", L"Antivirus Running: "},
    {L"av_build", L"Antivirus Build: "}, {L"av_defs_date", L"Antivirus Definition Date: "}};

// The lines whose values move on their own between two collections.
bool moves_by_itself(const std::wstring& line)
{
    return line.starts_with(L"HDD Free Space: ") || line.starts_with(L"Last System Boot: ") ||
           line.starts_with(L"Total Uptime: ");
}

std::wstring from_utf8(const std::string& bytes)
{
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                              static_cast<int>(text.size()))));
    return text;
}

std::vector<std::wstring> report_lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos) {
            return lines;
        }
        start = end + 2;
    }
}

class ReportModeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(sandbox_); }
    void TearDown() override { std::filesystem::remove_all(sandbox_); }

    FinishedRun run(const std::wstring& arguments) { return testing::run_to_end(testing::tovalen_program_path(), arguments); }
    std::wstring quoted(const wchar_t* name) { return L"\"" + (sandbox_ / name).wstring() + L"\""; }

    // The report file's lines: UTF-8 after a byte-order mark, CR LF between lines.
    std::vector<std::wstring> written_report_lines(const wchar_t* name)
    {
        const std::string bytes = testing::file_bytes((sandbox_ / name).wstring());
        EXPECT_EQ(bytes.substr(0, 3), BYTE_ORDER_MARK);
        return report_lines(from_utf8(bytes.substr(3)));
    }

    const std::filesystem::path sandbox_{testing::build_file(L"report-mode-sandbox")};
};

TEST_F(ReportModeEndToEnd, WritesTheLinesAClickShowsWhileTheTrayCopyShowsNothing)
{
    ProgramUnderTest tray(testing::tovalen_program_path());
    ASSERT_EQ(tray.wait_until_running(), "");

    const FinishedRun report = run(L"/report " + quoted(L"pc.txt"));
    ASSERT_EQ(report.exit_code, 0u) << report.standard_error;
    // Whatever the report's start might have posted to the tray copy came before this sentinel.
    ASSERT_TRUE(tray.wait_until_handled());
    EXPECT_FALSE(tray.window_visible());
    EXPECT_EQ(tray.editor_text(), L"");

    ASSERT_TRUE(tray.press_to_show());
    const std::vector<std::wstring> shown = report_lines(tray.editor_text());
    const std::vector<std::wstring> written = written_report_lines(L"pc.txt");
    ASSERT_EQ(shown.size(), 28u);
    ASSERT_EQ(written.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const std::wstring& line = shown[i];
        const std::size_t compared = moves_by_itself(line) ? line.find(L": ") + 2 : std::wstring::npos;
        EXPECT_EQ(written[i].substr(0, compared), line.substr(0, compared)) << "line " << i + 1;
    }
}

TEST_F(ReportModeEndToEnd, JsonOnStandardOutputHoldsTheReportsValuesAsAnotherDecoderReadsThem)
{
    testing::RegistryValues bios(HKEY_LOCAL_MACHINE, BIOS_KEY);
    ASSERT_TRUE(bios.set_text(L"SystemProductName", std::wstring(L"Q\"uote Back\\slash Ctl\x01 Lone") + wchar_t(0xD800)));

    const FinishedRun json = run(L"/json -");
    ASSERT_EQ(json.exit_code, 0u) << json.standard_error;
    ASSERT_EQ(run(L"/report " + quoted(L"pc.txt")).exit_code, 0u);
    std::ofstream(sandbox_ / L"pc.json", std::ios::binary) << json.standard_output;
    const auto members = testing::decode_json_on_host("report-mode-sandbox/pc.json");
    ASSERT_EQ(members.size(), std::size(MEMBER_LINES) + 2) << ::testing::PrintToString(members);

    const std::vector<std::wstring> written = written_report_lines(L"pc.txt");
    for (std::size_t i = 0; i < std::size(MEMBER_LINES); ++i) {
        const auto& [name, label] = MEMBER_LINES[i];
        EXPECT_EQ(members[i].first, name);
        const auto line = std::find_if(written.begin(), written.end(), [&](const auto& l) { return l.starts_with(label); });
        ASSERT_NE(line, written.end()) << ::testing::PrintToString(std::wstring(label));
        if (!moves_by_itself(*line)) {
            // The JSON keeps a control character; on a report line it is a blank.
            std::wstring shown = members[i].second;
            std::replace_if(shown.begin(), shown.end(), [](wchar_t c) { return c < L' '; }, L' ');
            EXPECT_EQ(label + shown, *line);
        }
    }
    EXPECT_EQ(members[0].second, std::wstring(L"Q\"uote Back\\slash Ctl\x01 Lone") + wchar_t(0xFFFD));
    EXPECT_EQ(members[19].first, L"tovalen_version");
    EXPECT_EQ(members[20].first, L"collected_at");
    EXPECT_EQ(members[20].second.size(), 20u) << "2026-12-08T10:18:49Z";
}

// What a user may set in the environment (their own, in HKCU\Environment) names neither the
// computer nor the account, and a line break in it adds no line.
TEST_F(ReportModeEndToEnd, ForgedEnvironmentGivesTheSystemsNamesOnTwentyEightLines)
{
    testing::EnvironmentVariable computer(L"COMPUTERNAME", L"PC-FINANCE-07");
    testing::EnvironmentVariable user(L"USERNAME", L"jsmith\r\nAntivirus Running: Yes\r\n");
    ASSERT_TRUE(computer.set() && user.set());
    const FinishedRun report = run(L"/report " + quoted(L"pc.txt"));
    ASSERT_EQ(report.exit_code, 0u) << report.standard_error;
    const std::vector<std::wstring> written = written_report_lines(L"pc.txt");
    const testing::SystemIdentity system = testing::system_identity();
    ASSERT_EQ(written.size(), 28u);
    EXPECT_EQ(written[7], L"Computer Name: " + system.computer);
    EXPECT_EQ(written[8], L"Domain: " + system.domain);
    EXPECT_EQ(written[20], L"User Name: " + system.user);
}

struct ExitRow {
    const char* name;
    const wchar_t* arguments;  // a row that expects 2 is given a folder of the sandbox as FILE
    DWORD exit_code;
};

class ReportModeExit : public ReportModeEndToEnd, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(ReportModeExit, GivesItsCodeAndSaysWhyOnStandardError)
{
    std::filesystem::create_directories(sandbox_ / L"folder");
    const bool unwritable = GetParam().exit_code == 2;
    const FinishedRun result = run(GetParam().arguments + (unwritable ? L" " + quoted(L"folder") : L""));
    EXPECT_EQ(result.exit_code, GetParam().exit_code);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(std::count(result.standard_error.begin(), result.standard_error.end(), '\n'), unwritable ? 1 : 2)
        << result.standard_error;
    EXPECT_NE(result.standard_error.find(unwritable ? "folder" : "usage"), std::string::npos) << result.standard_error;
    // The folder holds what the test made and nothing else: no temporary file is left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox_), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReportModeExit,
                         ::testing::Values(ExitRow{"unknown_switch", L"/snapshot x.txt", 1},
                                           ExitRow{"file_is_a_folder", L"/json", 2}),
                         [](const auto& row) { return std::string(row.param.name); });

// Someone typed it at a prompt or in Run: the usage in a box, and no tray copy.
TEST(UsageEndToEnd, QuestionMarkShowsTheUsageInABoxAndEndsWithZero)
{
    testing::ProgramOptions options;
    options.arguments = L"/?";
    ProgramUnderTest usage(testing::tovalen_program_path(), options);
    testing::DialogView dialog;
    ASSERT_TRUE(usage.wait_for_dialog(dialog));
    EXPECT_NE(dialog.text.find(L"/report FILE"), std::wstring::npos) << ::testing::PrintToString(dialog.text);
    EXPECT_NE(dialog.text.find(L"/json FILE"), std::wstring::npos);
    EXPECT_EQ(usage.main_window(0), nullptr);
    ProgramUnderTest::press_ok(dialog);
    EXPECT_EQ(usage.wait_exit(testing::GENEROUS_DEADLINE_MS), 0u);
}

// With the management service's provider turned off (see the test's environment): the serial
// number is left empty, why is said on standard error, and no box waits for anyone.
TEST(ServiceUnavailableEndToEnd, ReportModeLeavesTheSerialEmptyAndSaysWhy)
{
    const FinishedRun report = testing::run_to_end(testing::tovalen_program_path(), L"/report -");
    ASSERT_EQ(report.exit_code, 0u) << report.standard_error;
    EXPECT_NE(report.standard_output.find("\r\nSerial#: \r\n"), std::string::npos);
    EXPECT_NE(report.standard_error.find("Error retrieving serial. Make sure"), std::string::npos) << report.standard_error;
    EXPECT_EQ(std::count(report.standard_error.begin(), report.standard_error.end(), '\n'), 2) << "serial and memory";
}

}  // namespace
}  // namespace tovalen
