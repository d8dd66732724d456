// The report and the mail on the Windows versions people run. Each row writes the version values
// that system stores (Windows 11's misleading "Windows 10" product name and the "2009" release id
// that has stood still since Windows 10 20H2 included) into the private prefix with the real
// registry calls; every value the row does not name is absent. All of them are put back after.
#include "report/editor_text.h"
#include "report/report.h"
#include "shell/actions.h"
#include "support/build_paths.h"
#include "support/registry_values.h"
#include "support/strict_url.h"
#include "support/system_program.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tovalen {
namespace {

constexpr wchar_t VERSION_KEY[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

struct StoredValue {
    const wchar_t* name;
    const wchar_t* text;  // null: a number
    DWORD number = 0;
};

// Every value a row may write; each one a row does not name is deleted for that row.
constexpr const wchar_t* VERSION_VALUE_NAMES[] = {
    L"ProductName",       L"EditionID",   L"ReleaseId",  L"DisplayVersion", L"CurrentBuild",
    L"CurrentBuildNumber", L"UBR",        L"CurrentVersion", L"CurrentMajorVersionNumber",
    L"CurrentMinorVersionNumber", L"CSDVersion", L"InstallationType", L"BuildLab"};

struct WindowsRow {
    const char* system;
    std::vector<StoredValue> values;
    const wchar_t* os_name;
    const wchar_t* os_version;
    const wchar_t* os_build;
};

const WindowsRow WINDOWS_ROWS[] = {
    {"Windows7Sp1",
     {{L"ProductName", L"Windows 7 Professional"}, {L"EditionID", L"Professional"}, {L"CurrentBuild", L"7601"},
      {L"CurrentBuildNumber", L"7601"}, {L"CurrentVersion", L"6.1"}, {L"CSDVersion", L"Service Pack 1"},
      {L"InstallationType", L"Client"}, {L"BuildLab", L"7601.win7sp1_ldr.170913-0600"}},
     L"Windows 7 Professional", L"", L"7601."},
    {"Windows10Version1909",
     {{L"ProductName", L"Windows 10 Enterprise"}, {L"EditionID", L"Enterprise"}, {L"ReleaseId", L"1909"},
      {L"CurrentBuild", L"18363"}, {L"CurrentBuildNumber", L"18363"}, {L"UBR", nullptr, 1556},
      {L"CurrentVersion", L"6.3"}, {L"CurrentMajorVersionNumber", nullptr, 10},
      {L"CurrentMinorVersionNumber", nullptr, 0}, {L"InstallationType", L"Client"},
      {L"BuildLab", L"18362.19h1_release.190318-1202"}},
     L"Windows 10 Enterprise", L"1909", L"18363.1556"},
    {"Windows10Version22H2",
     {{L"ProductName", L"Windows 10 Pro"}, {L"EditionID", L"Professional"}, {L"ReleaseId", L"2009"},
      {L"DisplayVersion", L"22H2"}, {L"CurrentBuild", L"19045"}, {L"CurrentBuildNumber", L"19045"},
      {L"UBR", nullptr, 3803}, {L"CurrentVersion", L"6.3"}, {L"CurrentMajorVersionNumber", nullptr, 10},
      {L"CurrentMinorVersionNumber", nullptr, 0}, {L"InstallationType", L"Client"},
      {L"BuildLab", L"19041.vb_release.191206-1406"}},
     L"Windows 10 Pro", L"22H2", L"19045.3803"},
    {"Windows11Version23H2",
     {{L"ProductName", L"Windows 10 Pro"}, {L"EditionID", L"Professional"}, {L"ReleaseId", L"2009"},
      {L"DisplayVersion", L"23H2"}, {L"CurrentBuild", L"22631"}, {L"CurrentBuildNumber", L"22631"},
      {L"UBR", nullptr, 2861}, {L"CurrentVersion", L"6.3"}, {L"CurrentMajorVersionNumber", nullptr, 10},
      {L"CurrentMinorVersionNumber", nullptr, 0}, {L"InstallationType", L"Client"},
      {L"BuildLab", L"22621.ni_release.220506-1250"}},
     L"Windows 11 Pro", L"23H2", L"22631.2861"},
};

void PrintTo(const WindowsRow& row, std::ostream* out) { *out << row.system; }

const StoredValue* stored_value(const WindowsRow& row, const std::wstring& name)
{
    for (const StoredValue& value : row.values) {
        if (name == value.name) {
            return &value;
        }
    }
    return nullptr;
}

class WindowsVersions : public ::testing::TestWithParam<WindowsRow> {
protected:
    static void SetUpTestSuite() { testing::start_up_once(); }

    void SetUp() override
    {
        ASSERT_TRUE(net_.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
        ASSERT_TRUE(stored_.opened());
        for (const wchar_t* name : VERSION_VALUE_NAMES) {
            const StoredValue* value = stored_value(GetParam(), name);
            const bool written = value == nullptr               ? stored_.remove(name)
                                 : value->text != nullptr ? stored_.set_text(name, value->text)
                                                          : stored_.set_number(name, value->number);
            ASSERT_TRUE(written) << ::testing::PrintToString(std::wstring(name));
        }
    }

    void TearDown() override
    {
        EXPECT_TRUE(stored_.restore());
        EXPECT_TRUE(net_.restore());
    }

    testing::SystemProgram net_{L"net.exe"};
    testing::RegistryValues stored_{HKEY_LOCAL_MACHINE, VERSION_KEY};
};

TEST_P(WindowsVersions, ReportShowsEveryOsLineOfThatSystem)
{
    build_report();
    const ReportValues& v = report_values;
    EXPECT_EQ(v.os_name, GetParam().os_name);
    EXPECT_EQ(v.os_version, GetParam().os_version);
    EXPECT_EQ(v.os_build, GetParam().os_build);
    const std::wstring os_section = std::wstring(L"\r\n\r\n----OS----\r\n") + L"Computer Name: " + v.computer_name +
                                    L"\r\nDomain: " + v.domain + L"\r\nOperating System: " + GetParam().os_name +
                                    L"\r\nOS Version: " + GetParam().os_version + L"\r\nOS Build: " +
                                    GetParam().os_build + L"\r\nLast System Boot: 4/12/2019 9:14:33 AM" +
                                    L"\r\nTotal Uptime: " + v.uptime + L"\r\n\r\n----Network----\r\n";
    const std::wstring text = testing::report_editor_text();
    EXPECT_NE(text.find(os_section), std::wstring::npos) << ::testing::PrintToString(text);
}

TEST_P(WindowsVersions, MailCarriesTheSameOsLines)
{
    build_report();
    const testing::StrictUrl url = testing::split_strict_url(current_report_mail_url(L"it@example.com"));
    EXPECT_FALSE(url.fragment.has_value());
    const std::wstring os_lines = std::wstring(L"\r\nOperating System: ") + GetParam().os_name + L"\r\nOS Version: " +
                                  GetParam().os_version + L"\r\nOS Build: " + GetParam().os_build +
                                  L"\r\nLast System Boot: 4/12/2019 9:14:33 AM\r\n";
    const std::optional<std::wstring> body = testing::query_value(url, L"body");
    ASSERT_TRUE(body.has_value());
    EXPECT_NE(body->find(os_lines), std::wstring::npos) << ::testing::PrintToString(*body);
}

INSTANTIATE_TEST_SUITE_P(Systems, WindowsVersions, ::testing::ValuesIn(WINDOWS_ROWS),
                         [](const auto& row) { return std::string(row.param.system); });

}  // namespace
}  // namespace tovalen
