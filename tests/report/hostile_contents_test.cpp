// The report's own registry values, environment and net.exe made hostile: wrong types, huge and
// unterminated strings, a child that floods, stays silent, writes noise or never ends. The report
// is still built, and every line that was not made hostile is intact.
#include "report/collectors.h"
#include "report/editor_text.h"
#include "report/report.h"
#include "shell/shell.h"
#include "support/build_paths.h"
#include "support/registry_values.h"
#include "support/scoped_state.h"
#include "support/system_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tovalen {
namespace {

constexpr wchar_t VERSION_KEY[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t BIOS_KEY[] = L"Hardware\\Description\\System\\BIOS";
constexpr wchar_t ANTIVIRUS_KEY[] = L"SOFTWARE\\Symantec\\Symantec Endpoint Protection\\CurrentVersion\\public-opstate";

using testing::report_editor_text;

class HostileContents : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::start_up_once(); }

    void SetUp() override
    {
        ASSERT_TRUE(net_.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
        build_report();
        clean_ = report_values;
    }

    void TearDown() override { EXPECT_TRUE(net_.restore()); }

    // Every value but the named ones (and the clock's) is what the clean build gave.
    void expect_intact_except(std::initializer_list<std::wstring ReportValues::*> changed)
    {
        std::wstring ReportValues::* const all[] = {
            &ReportValues::disk_free,   &ReportValues::computer_name, &ReportValues::domain,
            &ReportValues::user_name,   &ReportValues::logon_server,  &ReportValues::ip_address,
            &ReportValues::mac_address, &ReportValues::ie_version,    &ReportValues::os_name,
            &ReportValues::os_version,  &ReportValues::os_build,      &ReportValues::model,
            &ReportValues::bios_version, &ReportValues::serial_number, &ReportValues::av_status,
            &ReportValues::av_build,    &ReportValues::av_defs_date,  &ReportValues::av_running,
            &ReportValues::memory_size};
        for (auto field : all) {
            if (std::find(changed.begin(), changed.end(), field) != changed.end() || field == &ReportValues::disk_free) {
                continue;  // free space moves on its own
            }
            EXPECT_EQ(report_values.*field, clean_.*field);
        }
        const std::wstring text = report_editor_text();
        EXPECT_EQ(text.rfind(L"----Hardware----\r\n", 0), 0u);
        EXPECT_NE(text.find(L"\r\nAntivirus Definition Date: " + report_values.av_defs_date), std::wstring::npos);
    }

    testing::SystemProgram net_{L"net.exe"};
    testing::EnvironmentVariable net_output_{L"TOVALEN_NET_OUTPUT", nullptr};
    ReportValues clean_;
};

TEST_F(HostileContents, WrongTypesHugeAndUnterminatedRegistryValues)
{
    const unsigned char binary[] = {0x57, 0x00, 0x69, 0x00};
    const std::wstring huge(1 << 20, L'R');  // 1 Mi characters, no terminator stored
    const wchar_t unterminated[] = {L'7', L'6', L'0', L'1'};
    const unsigned char odd_multi[] = {'A', 0, 0, 0, 'B'};
    const unsigned char short_dword[] = {1, 0, 0};
    testing::RegistryValues version(HKEY_LOCAL_MACHINE, VERSION_KEY);
    testing::RegistryValues bios(HKEY_LOCAL_MACHINE, BIOS_KEY);
    testing::RegistryValues antivirus(HKEY_LOCAL_MACHINE, ANTIVIRUS_KEY);
    const std::size_t huge_size = huge.size() * sizeof(wchar_t);
    ASSERT_TRUE(version.set(L"ProductName", REG_BINARY, binary, sizeof(binary)) &&
                version.set(L"ReleaseId", REG_SZ, huge.data(), huge_size) &&
                version.set(L"CurrentBuild", REG_SZ, unterminated, sizeof(unterminated)) &&
                bios.set(L"BIOSVersion", REG_MULTI_SZ, odd_multi, sizeof(odd_multi)) &&
                bios.set(L"SystemProductName", REG_SZ, huge.data(), huge_size) &&
                antivirus.set(L"AVRunningStatus", REG_DWORD, short_dword, sizeof(short_dword)));

    build_report();
    EXPECT_EQ(report_values.os_name, L"$57,$00,$69,$00");
    EXPECT_EQ(report_values.os_version, huge);
    EXPECT_EQ(report_values.bios_version, L"A");
    EXPECT_EQ(report_values.model, huge);
    EXPECT_EQ(report_values.av_status, L"");
    EXPECT_EQ(report_values.os_build.rfind(L"7601", 0), 0u);
    expect_intact_except({&ReportValues::os_name, &ReportValues::os_version, &ReportValues::os_build,
                          &ReportValues::bios_version, &ReportValues::model, &ReportValues::av_status,
                          &ReportValues::av_running});
    EXPECT_NE(report_editor_text().find(L"Model: " + huge + L"\r\n"), std::wstring::npos) << "the huge value is shown whole";
}

// The names a user can set, even at the system's limit, change no line: the computer and the
// account are the system's.
TEST_F(HostileContents, EnvironmentVariablesAtTheSystemLimit)
{
    const std::wstring longest(32766, L'E');
    testing::EnvironmentVariable user(L"USERNAME", longest);
    testing::EnvironmentVariable computer(L"COMPUTERNAME", longest);
    build_report();
    expect_intact_except({});
}

class HostileNet : public HostileContents, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(HostileNet, ReportIsBuiltWhateverNetPrints)
{
    ::SetEnvironmentVariableW(L"TOVALEN_NET_OUTPUT", GetParam());
    build_report();
    expect_intact_except({});
    EXPECT_NE(report_editor_text().find(L"\r\nLast System Boot: "), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(Outputs, HostileNet, ::testing::Values(L"huge", L"empty", L"noise", L"hang"),
                         [](const auto& row) { return std::string(row.param, row.param + wcslen(row.param)); });

}  // namespace
}  // namespace tovalen
