#include "report/report_layout.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

ReportValues sample_values()
{
    ReportValues v;
    v.model = L"OptiPlex 7090";
    v.serial_number = L"5CG1234XYZ";
    v.bios_version = L"DELL   - 1072009";
    v.disk_free = L"117 GB";
    v.computer_name = L"PC-0042";
    v.domain = L"CORP";
    v.os_name = L"Windows 10 Enterprise";
    v.os_version = L"2009";
    v.os_build = L"19045.3570";
    v.uptime = L"1-Days 1-Hours 1-Minutes 1-Seconds";
    v.ip_address = L"10.1.2.3";
    v.mac_address = L"00:1A:2B:3C:4D:5E";
    v.user_name = L"jsmith";
    v.logon_server = L"\\\\DC01";
    v.ie_version = L"11.789.19041.0";
    v.av_running = L"Yes";
    v.av_build = L"14.3.558.0000";
    v.av_defs_date = L"2026/12/06 r7";
    return v;
}

TEST(ReportLayout, JoinsTheTwentyEightLinesExactly)
{
    const std::wstring expected =
        L"----Hardware----\r\n"
        L"Model: OptiPlex 7090\r\n"
        L"Serial#: 5CG1234XYZ\r\n"
        L"BIOS Version: DELL   - 1072009\r\n"
        L"HDD Free Space: 117 GB\r\n"
        L"\r\n"
        L"----OS----\r\n"
        L"Computer Name: PC-0042\r\n"
        L"Domain: CORP\r\n"
        L"Operating System: Windows 10 Enterprise\r\n"
        L"OS Version: 2009\r\n"
        L"OS Build: 19045.3570\r\n"
        L"Last System Boot: 4/12/2019 9:14:33 AM\r\n"
        L"Total Uptime: 1-Days 1-Hours 1-Minutes 1-Seconds\r\n"
        L"\r\n"
        L"----Network----\r\n"
        L"IP Address: 10.1.2.3\r\n"
        L"MAC Address: 00:1A:2B:3C:4D:5E\r\n"
        L"\r\n"
        L"----User----\r\n"
        L"User Name: jsmith\r\n"
        L"Logon Server: \\\\DC01\r\n"
        L"\r\n"
        L"----Software----\r\n"
        L"IE Version: 11.789.19041.0\r\n"
        L"Antivirus Running: Yes\r\n"
        L"Antivirus Build: 14.3.558.0000\r\n"
        L"Antivirus Definition Date: 2026/12/06 r7";
    EXPECT_EQ(layout_report(sample_values(), L"4/12/2019 9:14:33 AM"), expected);
}

TEST(ReportLayout, EmptyValuesKeepEveryLabelAndLine)
{
    const std::wstring expected =
        L"----Hardware----\r\nModel: \r\nSerial#: \r\nBIOS Version: \r\nHDD Free Space: \r\n\r\n"
        L"----OS----\r\nComputer Name: \r\nDomain: \r\nOperating System: \r\nOS Version: \r\nOS Build: \r\n"
        L"Last System Boot: \r\nTotal Uptime: \r\n\r\n"
        L"----Network----\r\nIP Address: \r\nMAC Address: \r\n\r\n"
        L"----User----\r\nUser Name: \r\nLogon Server: \r\n\r\n"
        L"----Software----\r\nIE Version: \r\nAntivirus Running: \r\nAntivirus Build: \r\n"
        L"Antivirus Definition Date: ";
    EXPECT_EQ(layout_report(ReportValues{}, L""), expected);
}

// A value holding line ends (a user name set to forge a line, a BIOS version of several strings)
// adds no line of its own.
TEST(ReportLayout, HasTwentyEightLinesAndNoLineEndAfterTheLast)
{
    ReportValues v = sample_values();
    v.user_name = L"jsmith\r\nAntivirus Running: Yes";
    v.bios_version = L"DELL   - 1072009\nBIOS Date: 02/14/22\n";
    v.av_defs_date = L"2026/12/06\r\n";
    const std::wstring text = layout_report(v, L"boot\r\n");
    std::size_t line_ends = 0;
    for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2)) {
        ++line_ends;
    }
    EXPECT_EQ(line_ends, 27u);
    EXPECT_NE(text.substr(text.size() - 2), L"\r\n");
    EXPECT_EQ(text.find(L'\n'), text.find(L"\r\n") + 1) << "every line feed follows a carriage return";
}

TEST(ReportLayout, MultiLineBiosVersionStaysOnItsLine)
{
    ReportValues v;
    v.bios_version = L"DELL   - 1072009\nBIOS Date: 02/14/22\n";
    const std::wstring text = layout_report(v, L"");
    EXPECT_NE(text.find(L"\r\nBIOS Version: DELL   - 1072009 BIOS Date: 02/14/22 \r\nHDD Free Space: "),
              std::wstring::npos);
}

struct OneLineRow {
    std::wstring value;
    std::wstring shown;
};

class OneLine : public ::testing::TestWithParam<OneLineRow> {};

// Each end of every range that breaks a line, and the neighbours that do not.
TEST_P(OneLine, EveryCharacterThatBreaksALineBecomesABlank)
{
    EXPECT_EQ(one_line_text(GetParam().value), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Values, OneLine,
    ::testing::Values(OneLineRow{L"", L""}, OneLineRow{std::wstring(1, L'\0') + L"a\x1F", L" a "},
                      OneLineRow{L"a\r\nb\tc\vd\fe", L"a  b c d e"}, OneLineRow{L" ~", L" ~"},
                      OneLineRow{L"\x7F\x85\x9F", L"   "}, OneLineRow{L"\x7E\xA0", L"\x7E\xA0"},
                      OneLineRow{L"\u2027\u2028\u2029\u202A", L"\u2027  \u202A"},
                      OneLineRow{L"AT&T \u00E9 %0D%0A", L"AT&T \u00E9 %0D%0A"}));

TEST(ReportLayout, ValuesAreNotEscapedTrimmedOrCut)
{
    ReportValues v;
    v.model = L"  AT&T <model> %20 " + std::wstring(5000, L'x');
    const std::wstring text = layout_report(v, L"");
    EXPECT_NE(text.find(L"\r\nModel: " + v.model + L"\r\nSerial#: "), std::wstring::npos);
}

struct AntivirusRow {
    const wchar_t* status;
    const wchar_t* running;
};

class AntivirusRunning : public ::testing::TestWithParam<AntivirusRow> {};

TEST_P(AntivirusRunning, OnlyTheExactTextOneMeansYes)
{
    EXPECT_EQ(antivirus_running_text(GetParam().status), GetParam().running);
}

INSTANTIATE_TEST_SUITE_P(Statuses, AntivirusRunning,
                         ::testing::Values(AntivirusRow{L"1", L"Yes"}, AntivirusRow{L"0", L"No"},
                                           AntivirusRow{L"2", L"No"}, AntivirusRow{L"", L"No"},
                                           AntivirusRow{L" 1", L"No"}, AntivirusRow{L"1 ", L"No"},
                                           AntivirusRow{L"01", L"No"}, AntivirusRow{L"-1", L"No"}));

TEST(OsBuild, TheDotStandsEvenWhenBothPartsAreMissing)
{
    EXPECT_EQ(os_build_text(L"19045", L"3570"), L"19045.3570");
    EXPECT_EQ(os_build_text(L"", L""), L".");
    EXPECT_EQ(os_build_text(L"7601", L""), L"7601.");
    EXPECT_EQ(os_build_text(L"", L"3570"), L".3570");
}

struct OsNameRow {
    const wchar_t* product_name;
    const wchar_t* current_build;
    const wchar_t* shown;
};

class OsName : public ::testing::TestWithParam<OsNameRow> {};

TEST_P(OsName, WindowsTenFromBuild22000OnIsWindowsEleven)
{
    EXPECT_EQ(os_name_text(GetParam().product_name, GetParam().current_build), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OsName,
    ::testing::Values(OsNameRow{L"Windows 10 Pro", L"22631", L"Windows 11 Pro"},
                      OsNameRow{L"Windows 10 Enterprise", L"22000", L"Windows 11 Enterprise"},
                      OsNameRow{L"Windows 10 Pro", L"21999", L"Windows 10 Pro"},
                      OsNameRow{L"Windows 10 Pro", L"19045", L"Windows 10 Pro"},
                      OsNameRow{L"Windows 10", L"26100", L"Windows 11"},
                      OsNameRow{L"Windows 10 Pro", L"0022631", L"Windows 11 Pro"},
                      OsNameRow{L"Windows 10 Pro", L"99999999999999999999999", L"Windows 11 Pro"},
                      OsNameRow{L"Windows 10 Pro", L"", L"Windows 10 Pro"},
                      OsNameRow{L"Windows 10 Pro", L"22631a", L"Windows 10 Pro"},
                      OsNameRow{L"Windows 10 Pro", L" 22631", L"Windows 10 Pro"},
                      OsNameRow{L"Windows 10 Pro", L"-22631", L"Windows 10 Pro"},
                      OsNameRow{L"windows 10 Pro", L"22631", L"windows 10 Pro"},
                      OsNameRow{L"Microsoft Windows 10 Pro", L"22631", L"Microsoft Windows 10 Pro"},
                      OsNameRow{L"Windows 7 Professional", L"22631", L"Windows 7 Professional"},
                      OsNameRow{L"Windows Server 2022 Standard", L"20348", L"Windows Server 2022 Standard"},
                      OsNameRow{L"", L"22631", L""}));

struct OsVersionRow {
    const wchar_t* display_version;
    const wchar_t* release_id;
    const wchar_t* shown;
};

class OsVersion : public ::testing::TestWithParam<OsVersionRow> {};

TEST_P(OsVersion, DisplayVersionWhenItHoldsTextElseReleaseId)
{
    EXPECT_EQ(os_version_text(GetParam().display_version, GetParam().release_id), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Versions, OsVersion,
                         ::testing::Values(OsVersionRow{L"23H2", L"2009", L"23H2"},
                                           OsVersionRow{L"", L"2009", L"2009"},
                                           OsVersionRow{L"", L"1909", L"1909"},
                                           OsVersionRow{L"", L"", L""},
                                           OsVersionRow{L"24H2", L"", L"24H2"}));

}  // namespace
}  // namespace tovalen
