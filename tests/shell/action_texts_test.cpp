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
    // Every character but letters, digits and "-._~!$'()*,;:@" percent-encoded, as RFC 6068 asks.
    const std::wstring expected =
        L"mailto:it@example.com?subject=JSMITH's%20Computer%20Information&body=----Hardware----%0D%0AModel:%20"
        L"Model%20M%0D%0ASerial%23:%20SER1%0D%0ABIOS%20Version:%20BIOS%201%0D%0AHDD%20Free%20Space:%20465%20GB"
        L"%0D%0A%0D%0A----OS----%0D%0AComputer%20Name:%20PC1%0D%0ADomain:%20CORP%0D%0AOperating%20System:%20Wi"
        L"ndows%2010%20Pro%0D%0AOS%20Version:%201909%0D%0AOS%20Build:%2018363.1%0D%0ALast%20System%20Boot:%204"
        L"%2F12%2F2019%209:14:33%20AM%0D%0ATotal%20Uptime%20:1-Days%20%0D%0A%0D%0A----Network----%0D%0AIP%20Ad"
        L"dress:%2010.0.0.5%0D%0AMAC%20Address:%2000:11:22:33:44:55%0D%0A%0D%0A----User----%0D%0AUser%20Name:%"
        L"20jsmith%0D%0ALogon%20Server:%20%5C%5CDC01%0D%0A%0D%0A----Software----%0D%0AInternet%20Explorer%20Ve"
        L"rsion:%2011.0%0D%0AAntivirus%20Running:%20Yes%0D%0AAntivirus%20Version:%2014.2%0D%0AAntivirus%20Defi"
        L"nition%20Date:%202020-01-01%0D%0A";
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
    EXPECT_NE(url.find(L"subject=O%26BRIEN%23%20%20BCC's%20Computer"), std::wstring::npos) << url;
    EXPECT_NE(url.find(L"Model:%20AT%26T%20100%25%20%231%0D%0ASerial%23:%20"), std::wstring::npos) << url;
    // A line end or other control character in a value is a blank: it cannot start a line.
    EXPECT_NE(url.find(L"BIOS%20Version:%20LINE1%20LINE2%20%20END%0D%0A"), std::wstring::npos) << url;
    EXPECT_NE(url.find(L"Logon%20Server:%20%5C%5CDC%2001%0D%0A"), std::wstring::npos) << url;
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

struct ShortenRow {
    std::size_t model;       // "M"s in the model, or the sample's model when none
    std::size_t bios;        // "B"s in the BIOS version, or the sample's
    std::size_t user;        // "\u0416"s in the subject's user name, or the sample's
    std::size_t model_kept;  // "M"s the mail keeps (before a "\u2026" when fewer than given)
    std::size_t user_kept;
    bool shortened;
    std::wstring_view model_piece = L"M";  // what the model and its kept part repeat
};

class MailLength : public ::testing::TestWithParam<ShortenRow> {};

// The limit that mail programs take, and what a cut mail keeps: worked out with Python's
// urllib.parse.quote(text, safe="-._~!$'()*,;:@") over the sample values.
TEST_P(MailLength, StaysWithinWhatMailProgramsTakeWithEveryLine)
{
    const ShortenRow& row = GetParam();
    ReportValues v = sample_values();
    std::wstring user = L"JSMITH";
    const auto repeated = [](std::wstring_view piece, std::size_t count) {
        std::wstring text;
        for (std::size_t i = 0; i < count; ++i) {
            text += piece;
        }
        return text;
    };
    if (row.model != 0) {
        v.model = repeated(row.model_piece, row.model);
    }
    if (row.bios != 0) {
        v.bios_version.assign(row.bios, L'B');
    }
    if (row.user != 0) {
        user.assign(row.user, L'\u0416');
    }
    const ReportMail mail = report_mail(L"it@example.com", user, v, L"4/12/2019 9:14:33 AM");
    EXPECT_LE(mail.url.size(), 2000u);
    EXPECT_EQ(mail.shortened, row.shortened);
    ReportValues cut = v;
    std::wstring cut_user = user;
    if (row.shortened && row.model_kept < row.model) {
        cut.model = repeated(row.model_piece, row.model_kept) + L"\u2026";
    }
    if (row.shortened && row.user_kept < row.user) {
        cut_user = std::wstring(row.user_kept, L'\u0416') + L"\u2026";
    }
    const testing::StrictUrl got = testing::split_strict_url(mail.url);
    const testing::StrictUrl whole =
        testing::split_strict_url(report_mail_url(L"it@example.com", cut_user, cut, L"4/12/2019 9:14:33 AM"));
    EXPECT_EQ(testing::query_value(got, L"subject"), testing::query_value(whole, L"subject"));
    const std::wstring last_line = row.shortened ? L"(shortened: the whole report is on the clipboard)\r\n" : L"";
    EXPECT_EQ(testing::query_value(got, L"body"), testing::query_value(whole, L"body").value_or(L"") + last_line);
}

INSTANTIATE_TEST_SUITE_P(Values, MailLength,
                         ::testing::Values(ShortenRow{1176, 0, 0, 1176, 0, false}, ShortenRow{1177, 0, 0, 1098, 0, true},
                                           ShortenRow{3000, 0, 0, 1098, 0, true}, ShortenRow{1500, 200, 0, 906, 0, true},
                                           ShortenRow{0, 0, 400, 0, 182, true},
                                           // a piece encodes to 40, its pair first with 12; beside 96 "B"s the model has 1010
                                           // (as 906 beside 200): 25 pieces, and room for half the 26th's pair, never kept
                                           ShortenRow{600, 96, 0, 25, 0, true, L"\xD834\xDD1E\xD834x\xD834\xE000"}));

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
                         ::testing::Values(EncodeRow{L"", L""}, EncodeRow{L"plain text", L"plain%20text"},
                                           EncodeRow{L"%", L"%25"}, EncodeRow{L"&", L"%26"}, EncodeRow{L"#", L"%23"},
                                           EncodeRow{L"\x01\x1F", L"%01%1F"}, EncodeRow{L"\x7F", L"%7F"},
                                           EncodeRow{L"?=+/\\", L"%3F%3D%2B%2F%5C"}, EncodeRow{L"\u00E9", L"%C3%A9"},
                                           EncodeRow{L"15\" <a>^`{|}", L"15%22%20%3Ca%3E%5E%60%7B%7C%7D"},
                                           EncodeRow{L"!$'()*,-.;:@_z~", L"!$'()*,-.;:@_z~"},
                                           EncodeRow{L"/09:<@AZ[`az{", L"%2F09:%3C@AZ%5B%60az%7B"},
                                           EncodeRow{L"\x80\u07FF\u0800\u0416", L"%C2%80%DF%BF%E0%A0%80%D0%96"},
                                           EncodeRow{L"\xFFFF\U0001D11E", L"%EF%BF%BF%F0%9D%84%9E"},
                                           EncodeRow{L"\xD834x\xDD1E", L"%EF%BF%BDx%EF%BF%BD"}));

struct FillRow {
    const wchar_t* url;
    const wchar_t* filled;
};

class FormFill : public ::testing::TestWithParam<FillRow> {};

// Each value percent-encoded as UTF-8 but for letters, digits and "-._~" (RFC 3986's unreserved).
TEST_P(FormFill, PutsTheReportsValuesIntoTheTicketForm)
{
    ReportValues v = sample_values();
    v.av_build = L"AT&T #1 \u0416+\u00e9=";
    EXPECT_EQ(filled_form_url(GetParam().url, report_fields(v, L"1/1/2020 1:00:00 AM")), GetParam().filled);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, FormFill,
    ::testing::Values(
        FillRow{L"http://h/{model}/{serial_number}/{bios_version}/{disk_free}/{computer_name}/{domain}/{os_name}/"
                L"{os_version}/{os_build}/{last_boot}/{uptime}/{ip_address}/{mac_address}/{user_name}/"
                L"{logon_server}/{ie_version}/{av_running}/{av_defs_date}",
                L"http://h/Model%20M/SER1/BIOS%201/465%20GB/PC1/CORP/Windows%2010%20Pro/1909/18363.1/"
                L"1%2F1%2F2020%201%3A00%3A00%20AM/1-Days%20/10.0.0.5/00%3A11%3A22%3A33%3A44%3A55/jsmith/"
                L"%5C%5CDC01/11.0/Yes/2020-01-01"},
        FillRow{L"{av_build}", L"AT%26T%20%231%20%D0%96%2B%C3%A9%3D"},
        FillRow{L"http://h/?a={user_name}{domain}&b={modell}&c={1A}&d={}&e={model",
                L"http://h/?a=jsmithCORP&b={modell}&c={1A}&d={}&e={model"},
        FillRow{L"http://h/", L"http://h/"}, FillRow{L"{user_name{model}", L"{user_nameModel%20M"}));

TEST(NoMailProgram, NamesTheMailboxLast)
{
    EXPECT_TRUE(no_mail_program_message(L"it@example.com").ends_with(L" it@example.com.")) << no_mail_program_message(L"it@example.com");
}

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
