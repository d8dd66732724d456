#include "shell/action_texts.h"

#include <gtest/gtest.h>

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
        L"%0D%0ASerial#: SER1%0D%0ABIOS Version: BIOS 1%0D%0AHDD Free Space: 465 GB"
        L"%0D%0A%0D%0A----OS----%0D%0AComputer Name: PC1%0D%0ADomain: CORP%0D%0AOperating System: Windows 10 Pro"
        L"%0D%0AOS Version: 1909%0D%0AOS Build: 18363.1%0D%0ALast System Boot: 4/12/2019 9:14:33 AM"
        L"%0D%0ATotal Uptime :1-Days %0D%0A%0D%0A----Network----%0D%0AIP Address: 10.0.0.5"
        L"%0D%0AMAC Address: 00:11:22:33:44:55%0D%0A%0D%0A----User----%0D%0AUser Name: jsmith"
        L"%0D%0ALogon Server: \\\\DC01%0D%0A%0D%0A----Software----%0D%0AInternet Explorer Version: 11.0"
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
    const std::wstring url = report_mail_url(L"it@example.com", L"O&BRIEN#", v, L"1/1/2020 1:00:00 AM");
    EXPECT_NE(url.find(L"subject=O%26BRIEN%23's Computer"), std::wstring::npos) << url;
    EXPECT_NE(url.find(L"Model: AT%26T 100%25 %231%0D%0ASerial#: "), std::wstring::npos) << url;
    EXPECT_NE(url.find(L"BIOS Version: LINE1%0ALINE2%0D%09END%0D%0A"), std::wstring::npos) << url;
    // Blanks and backslashes are not among the characters that break a mailto: URL.
    EXPECT_NE(url.find(L"Logon Server: \\\\DC 01%0D%0A"), std::wstring::npos) << url;
}

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
                                           EncodeRow{L"?=+/\\", L"?=+/\\"}, EncodeRow{L"\u00E9", L"\u00E9"}));

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
