#include "shell/action_texts.h"

#include "support/strict_url.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tovalen {
namespace {

ReportValues sample_values()
{
    ReportValues v;
    v.model = L"Model M";
    v.serial_number = L"SER1";
    v.bios_version = L"BIOS 1";
    v.disk_free = L"465 GB";
    v.computer_name = L"PC1";
    v.domain = L"CORP";
    v.os_name = L"Windows 10 Pro";
    v.os_version = L"1909";
    v.os_build = L"18363.1";
    v.uptime = L"1-Days ";
    v.ip_address = L"10.0.0.5";
    v.mac_address = L"00:11:22:33:44:55";
    v.user_name = L"jsmith";
    v.logon_server = L"\\\\DC01";
    v.ie_version = L"11.0";
    v.av_running = L"Yes";
    v.av_build = L"14.2";
    v.av_defs_date = L"2020-01-01";
    v.av_status = L"1";
    v.memory_size = L"8.00 GB";
    return v;
}

TEST(MailUrl, JoinsTheFortyOnePiecesInOrder)
{
    const std::wstring expected =
        L"mailto:it@example.com?subject=JSMITH's Computer Information&body=----Hardware----%0D%0AModel: Model M"
        L"%0D%0ASerial%23: SER1%0D%0ABIOS Version: BIOS 1%0D%0AHDD Free Space: 465 GB"
        L"%0D%0A%0D%0A----OS----%0D%0AComputer Name: PC1%0D%0ADomain: CORP%0D%0AOperating System: Windows 10 Pro"
        L"%0D%0AOS Version: 1909%0D%0AOS Build: 18363.1%0D%0ALast System Boot: 4/12/2019 9:14:33 AM"
        L"%0D%0ATotal Uptime :1-Days %0D%0A%0D%0A----Network----%0D%0AIP Address: 10.0.0.5"
        L"%0D%0AMAC Address: 00:11:22:33:44:55%0D%0A%0D%0A----User----%0D%0AUser Name: jsmith"
        L"%0D%0ALogon Server: %5C%5CDC01%0D%0A%0D%0A----Software----%0D%0AInternet Explorer Version: 11.0"
        L"%0D%0AAntivirus Running: Yes%0D%0AAntivirus Version: 14.2%0D%0AAntivirus Definition Date: 2020-01-01%0D%0A";
    EXPECT_EQ(report_mail_url(L"it@example.com", L"JSMITH", sample_values(), L"4/12/2019 9:14:33 AM"), expected);
}

TEST(MailUrl, LeavesOutMemoryAndAntivirusStatus)
{
    ReportValues v = sample_values();
    v.memory_size = L"MEMORY-MARK";
    v.av_status = L"STATUS-MARK";
    const std::wstring url = report_mail_url(L"it@example.com", L"J", v, L"");
    EXPECT_EQ(url.find(L"MEMORY-MARK"), std::wstring::npos);
    EXPECT_EQ(url.find(L"STATUS-MARK"), std::wstring::npos);
}

TEST(MailUrl, EncodesValuesThatWouldCutOrCorruptTheMail)
{
    ReportValues v = sample_values();
    v.model = L"AT&T 100% #1";
    v.bios_version = L"LINE1\nLINE2\r\tEND";
    v.logon_server = L"\\\\DC 01";
    const std::wstring url = report_mail_url(L"it@example.com", L"O&BRIEN#\r\nBCC", v, L"1/1/2020 1:00:00 AM");
    EXPECT_NE(url.find(L"subject=O%26BRIEN%23  BCC's Computer"), std::wstring::npos) << url;
    EXPECT_NE(url.find(L"Model: AT%26T 100%25 %231%0D%0ASerial%23: "), std::wstring::npos) << url;
    // A line end or other control character in a value is a blank: it cannot start a line.
    EXPECT_NE(url.find(L"BIOS Version: LINE1 LINE2  END%0D%0A"), std::wstring::npos) << url;
    // Blanks and backslashes are not among the characters that break a mailto: URL.
    EXPECT_NE(url.find(L"Logon Server: %5C%5CDC 01%0D%0A"), std::wstring::npos) << url;
}

// The mail as a client that follows the URL standard reads it: no value and no fixed piece may
// start a fragment, add a field or lose a character.
TEST(MailUrl, EveryBodyLineSurvivesAStrictParser)
{
    ReportValues v = sample_values();
    v.model = L"AT&T 100% #1";
    v.serial_number = L"#SER=1&to=x@y";
    v.bios_version = L"LINE1\r\nLINE2\nLINE3";
    v.logon_server = L"\\\\DC 01";
    v.av_defs_date = L"50%25 done+";
    const testing::StrictUrl url =
        testing::split_strict_url(report_mail_url(L"it@example.com", L"O&BRIEN#1", v, L"1/1/2020 #1 AM"));
    EXPECT_FALSE(url.fragment.has_value()) << ::testing::PrintToString(url.fragment.value_or(L""));
    EXPECT_EQ(url.path, L"mailto:it@example.com");
    ASSERT_EQ(url.query.size(), 2u);
    EXPECT_EQ(testing::query_value(url, L"subject"), L"O&BRIEN#1's Computer Information");
    const std::wstring body =
        L"----Hardware----\r\n"
        L"Model: AT&T 100% #1\r\n"
        L"Serial#: #SER=1&to=x@y\r\n"
        L"BIOS Version: LINE1  LINE2 LINE3\r\n"
        L"HDD Free Space: 465 GB\r\n"
        L"\r\n"
        L"----OS----\r\n"
        L"Computer Name: PC1\r\n"
        L"Domain: CORP\r\n"
        L"Operating System: Windows 10 Pro\r\n"
        L"OS Version: 1909\r\n"
        L"OS Build: 18363.1\r\n"
        L"Last System Boot: 1/1/2020 #1 AM\r\n"
        L"Total Uptime :1-Days \r\n"
        L"\r\n"
        L"----Network----\r\n"
        L"IP Address: 10.0.0.5\r\n"
        L"MAC Address: 00:11:22:33:44:55\r\n"
        L"\r\n"
        L"----User----\r\n"
        L"User Name: jsmith\r\n"
        L"Logon Server: \\\\DC 01\r\n"
        L"\r\n"
        L"----Software----\r\n"
        L"Internet Explorer Version: 11.0\r\n"
        L"Antivirus Running: Yes\r\n"
        L"Antivirus Version: 14.2\r\n"
        L"Antivirus Definition Date: 50%25 done+\r\n";
    EXPECT_EQ(testing::query_value(url, L"body"), body);
}

struct StrictUrlRow {
    const wchar_t* url;
    const wchar_t* path;
    std::vector<testing::UrlField> query;
    std::optional<std::wstring> fragment;
};

class StrictUrlSplit : public ::testing::TestWithParam<StrictUrlRow> {};

// The reference parser itself, against what the URL standard gives for these.
TEST_P(StrictUrlSplit, IsWhatTheUrlStandardGives)
{
    const testing::StrictUrl url = testing::split_strict_url(GetParam().url);
    EXPECT_EQ(url.path, GetParam().path);
    ASSERT_EQ(url.query.size(), GetParam().query.size());
    for (std::size_t i = 0; i < url.query.size(); ++i) {
        EXPECT_EQ(url.query[i].name, GetParam().query[i].name);
        EXPECT_EQ(url.query[i].value, GetParam().query[i].value);
    }
    EXPECT_EQ(url.fragment, GetParam().fragment);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, StrictUrlSplit,
    ::testing::Values(StrictUrlRow{L"mailto:a@b", L"mailto:a@b", {}, std::nullopt},
                      StrictUrlRow{L"mailto:a@b?x=1&y=2%0D%0A", L"mailto:a@b", {{L"x", L"1"}, {L"y", L"2\r\n"}}, std::nullopt},
                      StrictUrlRow{L"mailto:a@b?body=Serial#: 1&x=2", L"mailto:a@b", {{L"body", L"Serial"}}, L": 1&x=2"},
                      StrictUrlRow{L"m:?a=b=c&&d", L"m:", {{L"a", L"b=c"}, {L"d", L""}}, std::nullopt},
                      StrictUrlRow{L"m:?a=100%&b=%2x%41%7e+", L"m:", {{L"a", L"100%"}, {L"b", L"%2xA~+"}}, std::nullopt},
                      StrictUrlRow{L"m:#a?b=c", L"m:", {}, L"a?b=c"}));

struct EncodeRow {
    const wchar_t* value;
    const wchar_t* encoded;
};

class MailValue : public ::testing::TestWithParam<EncodeRow> {};

TEST_P(MailValue, IsPercentEncodedWhereNeeded)
{
    EXPECT_EQ(encode_mail_value(GetParam().value), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(Values, MailValue,
                         ::testing::Values(EncodeRow{L"", L""}, EncodeRow{L"plain text", L"plain text"},
                                           EncodeRow{L"%", L"%25"}, EncodeRow{L"&", L"%26"}, EncodeRow{L"#", L"%23"},
                                           EncodeRow{L"\x01\x1F", L"%01%1F"}, EncodeRow{L"\x7F", L"\x7F"},
                                           EncodeRow{L"?=+/\\", L"?=%2B/%5C"}, EncodeRow{L"\u00E9", L"\u00E9"},
                                           EncodeRow{L"15\" <a>^`{|}", L"15%22 %3Ca%3E%5E%60%7B%7C%7D"},
                                           EncodeRow{L"!$'()*,-.;@[]_z~", L"!$'()*,-.;@[]_z~"}));

TEST(HelpdeskForm, IsTheTicketListFormOnTheServer)
{
    EXPECT_EQ(helpdesk_form_url(L"intranet.corp"),
              L"http://intranet.corp/sites/new/IT/helpdesk/_layouts/15/listform.aspx?PageType=8&ListId="
              L"%7B183753DB%2D97BF%2D41C2%2D9E3B%2DCB36C889000C%7D&RootFolder=");
}

TEST(PrinterShare, IsTheServersPrintersShare)
{
    EXPECT_EQ(printer_share_path(L"print01"), L"\\\\print01\\printers$");
}

}  // namespace
}  // namespace tovalen
