// The program started by a script: the report written to a file or standard output, with
// nothing shown and the tray copy left alone, and the exit codes a script goes by.
#include "support/build_paths.h"
#include "support/program_under_test.h"
#include "support/registry_values.h"
#include "support/scoped_state.h"
#include "support/system_identity.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

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

// A file's access list in the system's own notation; empty when it cannot be read.
std::wstring access_list_text(const std::filesystem::path& file)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    wchar_t* text = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                nullptr, &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    const platform::UniqueLocalMemory descriptor_owner(descriptor);
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                           nullptr);
    const platform::UniqueLocalMemory text_owner(text);
    return text != nullptr ? text : L"";
}

// Stands in for a user who owns the folder, waiting for the program to let go of its temporary
// file: until the run has ended, writes a report of its own into any file of the folder (and
// into the name the file once had) that it can open for itself, the report itself aside.
void swap_files_until_ended(const std::filesystem::path& folder, const std::wstring& predicted,
                            const std::atomic<bool>& ended)
{
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    while (!ended) {
        std::vector<std::filesystem::path> names{folder / predicted};
        std::error_code listing;
        for (const auto& entry : std::filesystem::directory_iterator(folder, listing)) {
            if (entry.path().filename() != L"pc.json") {
                names.push_back(entry.path());
            }
        }
        for (const auto& name : names) {
            const platform::UniqueFileHandle file(
                ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (file && ::WriteFile(file.get(), "forged", 6, &written, nullptr)) {
                return;
            }
        }
    }
}

class ReportModeEndToEnd : public ::testing::Test {
protected:
    // The build made the sandbox with no write bits, so that Wine, which runs every program
    // elevated, shows it as a folder only the system may change; the tests leave it empty.
    void SetUp() override { ASSERT_TRUE(std::filesystem::is_directory(sandbox_)) << "made by configuring the build"; }
    void TearDown() override
    {
        for (const auto& entry : std::filesystem::directory_iterator(sandbox_)) {
            std::filesystem::remove_all(entry.path());
        }
    }

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
    // The name its temporary file once had, from its process id, taken by someone else first.
    const FinishedRun report =
        testing::run_to_end(testing::tovalen_program_path(), L"/report " + quoted(L"pc.txt"),
                            testing::GENEROUS_DEADLINE_MS, [&](DWORD process_id) {
                                std::ofstream(sandbox_ / (L"pc.txt.tovalen-" + std::to_wstring(process_id) + L".tmp"));
                            });
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
    // The file it replaces lets everyone read it; the report takes none of that over.
    std::ofstream(sandbox_ / L"pc.txt") << "old";
    ASSERT_NE(access_list_text(sandbox_ / L"pc.txt").find(L";WD)"), std::wstring::npos);
    ASSERT_EQ(run(L"/report " + quoted(L"pc.txt")).exit_code, 0u);
    const std::wstring access_list = access_list_text(sandbox_ / L"pc.txt");
    EXPECT_NE(access_list, L"");
    EXPECT_EQ(access_list.find(L";WD)"), std::wstring::npos) << ::testing::PrintToString(access_list);
    EXPECT_EQ(access_list.find(L";BU)"), std::wstring::npos) << ::testing::PrintToString(access_list);
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

TEST_F(ReportModeEndToEnd, AFileSwappedForTheTemporaryOneNeverBecomesTheReport)
{
    std::atomic<bool> ended{false};
    std::thread swapper;
    const FinishedRun report =
        testing::run_to_end(testing::tovalen_program_path(), L"/json " + quoted(L"pc.json"),
                            testing::GENEROUS_DEADLINE_MS, [&](DWORD process_id) {
                                const std::wstring old_name = L"pc.json.tovalen-" + std::to_wstring(process_id) + L".tmp";
                                swapper = std::thread([&, old_name] { swap_files_until_ended(sandbox_, old_name, ended); });
                            });
    ended = true;
    swapper.join();
    EXPECT_EQ(report.exit_code, 0u) << report.standard_error;
    EXPECT_EQ(testing::file_bytes((sandbox_ / L"pc.json").wstring()).substr(0, 1), "{");
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
    const wchar_t* arguments;
    const wchar_t* file;  // a file of the build folder, added to the arguments; none when null
    DWORD exit_code;
    const char* said;  // a word of what standard error says; nothing is said when null
};

class ReportModeExit : public ReportModeEndToEnd, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(ReportModeExit, GivesItsCodeAndSaysWhyOnStandardError)
{
    // A folder that is not the sandbox's own but was made the ordinary way: the user may change it.
    std::filesystem::create_directories(sandbox_ / L"folder");
    const std::wstring file = GetParam().file != nullptr ? L" \"" + testing::build_file(GetParam().file) + L"\"" : L"";
    const FinishedRun result = run(GetParam().arguments + file);
    EXPECT_EQ(result.exit_code, GetParam().exit_code);
    EXPECT_EQ(result.standard_output, "");
    const std::size_t lines = GetParam().said == nullptr ? 0 : GetParam().exit_code == 2 ? 1 : 2;
    EXPECT_EQ(std::count(result.standard_error.begin(), result.standard_error.end(), '\n'), lines)
        << result.standard_error;
    if (GetParam().said != nullptr) {
        EXPECT_NE(result.standard_error.find(GetParam().said), std::string::npos) << result.standard_error;
    }
    // The folder holds what the test made and nothing else: no temporary file is left, and
    // nothing was written where a link leads.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox_), {}), 1);
    EXPECT_TRUE(std::filesystem::is_empty(sandbox_ / L"folder"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportModeExit,
    ::testing::Values(ExitRow{"unknown_switch", L"/snapshot x.txt", nullptr, 1, "usage"},
                      ExitRow{"file_is_a_folder", L"/json", L"report-mode-sandbox/folder", 2, "folder"},
                      ExitRow{"folder_others_may_change", L"/json", L"report-mode-sandbox/folder/pc.json", 2, "folder"},
                      ExitRow{"folder_through_a_symbolic_link", L"/report", L"report-mode-link/pc.txt", 2, "link"},
                      ExitRow{"device", L"/json NUL", nullptr, 0, nullptr}),
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
