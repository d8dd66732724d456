// The report's own registry values, environment and net.exe made hostile: wrong types, huge and
// unterminated strings, a child that floods, stays silent, writes noise or never ends. The report
// is still built, and every line that was not made hostile is intact.
#include "report/collectors.h"
#include "report/editor_text.h"
#include "report/report.h"
#include "shell/shell.h"
#include "support/build_paths.h"
#include "support/scoped_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tovalen {
namespace {

constexpr wchar_t VERSION_KEY[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t BIOS_KEY[] = L"Hardware\\Description\\System\\BIOS";
constexpr wchar_t ANTIVIRUS_KEY[] = L"SOFTWARE\\Symantec\\Symantec Endpoint Protection\\CurrentVersion\\public-opstate";

// One machine value replaced for the test and put back as it was afterwards.
class ReplacedValue {
public:
    ReplacedValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, std::size_t size)
        : name_(name)
    {
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), nullptr) !=
            ERROR_SUCCESS) {
            return;
        }
        DWORD saved_size = 0;
        had_value_ = ::RegQueryValueExW(key_.get(), name, nullptr, &saved_type_, nullptr, &saved_size) == ERROR_SUCCESS;
        saved_.resize(saved_size);
        if (had_value_ && saved_size > 0) {
            ::RegQueryValueExW(key_.get(), name, nullptr, &saved_type_, saved_.data(), &saved_size);
        }
        written_ = ::RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data),
                                    static_cast<DWORD>(size)) == ERROR_SUCCESS;
    }
    ~ReplacedValue()
    {
        if (had_value_) {
            ::RegSetValueExW(key_.get(), name_.c_str(), 0, saved_type_, saved_.data(), static_cast<DWORD>(saved_.size()));
        } else if (key_) {
            ::RegDeleteValueW(key_.get(), name_.c_str());
        }
    }
    bool written() const { return written_; }

private:
    platform::UniqueKey key_;
    std::wstring name_;
    bool had_value_ = false;
    bool written_ = false;
    DWORD saved_type_ = REG_NONE;
    std::vector<BYTE> saved_;
};

using testing::report_editor_text;

class HostileContents : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::start_up_once(); }

    void SetUp() override
    {
        ASSERT_TRUE(directory_.changed());
        build_report();
        clean_ = report_values;
    }

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

    testing::CurrentDirectory directory_{testing::build_file(L"stand-ins/net")};
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
    ReplacedValue name(VERSION_KEY, L"ProductName", REG_BINARY, binary, sizeof(binary));
    ReplacedValue release(VERSION_KEY, L"ReleaseId", REG_SZ, huge.data(), huge.size() * sizeof(wchar_t));
    ReplacedValue build(VERSION_KEY, L"CurrentBuild", REG_SZ, unterminated, sizeof(unterminated));
    ReplacedValue bios(BIOS_KEY, L"BIOSVersion", REG_MULTI_SZ, odd_multi, sizeof(odd_multi));
    ReplacedValue model(BIOS_KEY, L"SystemProductName", REG_SZ, huge.data(), huge.size() * sizeof(wchar_t));
    ReplacedValue status(ANTIVIRUS_KEY, L"AVRunningStatus", REG_DWORD, short_dword, sizeof(short_dword));
    ASSERT_TRUE(name.written() && release.written() && build.written() && bios.written() && model.written() &&
                status.written());

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

TEST_F(HostileContents, EnvironmentVariablesAtTheSystemLimit)
{
    const std::wstring longest(32766, L'E');
    testing::EnvironmentVariable user(L"USERNAME", longest);
    build_report();
    EXPECT_EQ(report_values.user_name, longest);
    expect_intact_except({&ReportValues::user_name});
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
