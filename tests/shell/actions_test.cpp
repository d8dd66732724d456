// What each button hands to the system, in the program's own process: the exact command line
// the browser gets (through a stand-in browser in the current directory), the printer share and
// the mail URL of the last report with a fresh last-boot text.
#include "shell/actions.h"

#include "company_network.h"
#include "platform/programs.h"
#include "report/report.h"
#include "shell/action_texts.h"
#include "shell/shell.h"
#include "support/build_paths.h"
#include "support/host_stand_ins.h"
#include "support/polling.h"
#include "support/scoped_state.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

std::wstring wait_for_record(const std::wstring& file)
{
    std::wstring text;
    testing::wait_until([&] {
        text = testing::read_utf16_file(file);
        return !text.empty();
    });
    return text;
}

class Actions : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_up(); }

    void SetUp() override
    {
        ::DeleteFileW(record_file().c_str());
        testing::clear_host_records();
        window_layer().set_control_text(REPORT_EDITOR, L"a report");
        window_layer().show_window(MAIN_WINDOW, false);
        report_current = 1;
    }

    static std::wstring record_file() { return testing::build_file(L"stand-ins/browser/record.txt"); }

    static void expect_hidden_and_stale()
    {
        EXPECT_FALSE(::IsWindowVisible(window_layer().window_handle(MAIN_WINDOW)));
        EXPECT_EQ(::GetWindowTextLengthW(window_layer().window_handle(REPORT_EDITOR)), 0);
        EXPECT_EQ(report_current, 0);
    }

    testing::CurrentDirectory directory_;
    testing::EnvironmentVariable record_variable_{L"TOVALEN_RECORD_FILE", record_file()};
    testing::SavedValue<ReportValues> saved_values_{report_values};
};

TEST_F(Actions, HelpdeskFormStartsTheBrowserWithTheFormUrl)
{
    ASSERT_TRUE(directory_.change_to(testing::build_file(L"stand-ins/browser")));
    open_helpdesk_form();
    expect_hidden_and_stale();
    EXPECT_EQ(wait_for_record(record_file()), L"\"iexplore\" " + helpdesk_form_url(HELPDESK_SERVER));
}

TEST_F(Actions, PrinterShareIsThePrintServersShare)
{
    EXPECT_EQ(printer_share_path(PRINT_SERVER), std::wstring(L"\\\\") + PRINT_SERVER + L"\\printers$");
    open_printer_share();
    expect_hidden_and_stale();
    // Wine may or may not hand a share to the desktop; whatever reaches it is that share.
    for (const std::wstring& handed : testing::host_record(L"xdg-open")) {
        EXPECT_NE(handed.find(PRINT_SERVER), std::wstring::npos) << ::testing::PrintToString(handed);
    }
}

TEST_F(Actions, MailUrlCarriesTheLastReportAndAFreshBootTime)
{
    ASSERT_TRUE(directory_.change_to(testing::build_file(L"stand-ins/net")));
    ReportValues values;
    values.user_name = L"jsmith";
    values.model = L"AT&T 100%";
    values.bios_version = L"LINE1\nLINE2";
    values.uptime = L"1-Days ";
    report_values = values;
    testing::EnvironmentVariable net_output(L"TOVALEN_NET_OUTPUT", L"two");
    const std::wstring url = current_report_mail_url();
    EXPECT_EQ(url, report_mail_url(SUPPORT_MAILBOX, L"JSMITH", values, L"1/1/2020 1:00:00 AM"));
    EXPECT_NE(url.find(L"?subject=JSMITH's Computer Information&body=----Hardware----%0D%0AModel: AT%26T 100%25"),
              std::wstring::npos)
        << ::testing::PrintToString(url);
    EXPECT_NE(url.find(L"User Name: jsmith%0D%0A"), std::wstring::npos);
    EXPECT_NE(url.find(L"Last System Boot: 1/1/2020 1:00:00 AM%0D%0ATotal Uptime :1-Days %0D%0A"), std::wstring::npos);
}

TEST_F(Actions, SendingTheMailHidesTheWindowAndHandsTheMailToTheDesktop)
{
    ASSERT_TRUE(directory_.change_to(testing::build_file(L"stand-ins/net")));
    testing::EnvironmentVariable net_output(L"TOVALEN_NET_OUTPUT", L"two");
    report_values.user_name = L"jsmith";
    report_values.model = L"AT&T 100%";
    send_report_mail();
    expect_hidden_and_stale();
    const std::vector<std::wstring> handed = testing::wait_for_host_record(L"xdg-email");
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(testing::percent_decoded(handed.front()), testing::percent_decoded(current_report_mail_url()));
}

struct UpperRow {
    const wchar_t* text;
    const wchar_t* upper;
};

class UpperCase : public ::testing::TestWithParam<UpperRow> {};

TEST_P(UpperCase, IsTheSystemsUpperCasing)
{
    EXPECT_EQ(upper_case(GetParam().text), GetParam().upper);
}

INSTANTIATE_TEST_SUITE_P(Texts, UpperCase,
                         ::testing::Values(UpperRow{L"", L""}, UpperRow{L"jsmith", L"JSMITH"},
                                           UpperRow{L"\u00e9lise o'neil", L"\u00c9LISE O'NEIL"},
                                           UpperRow{L"a&b#1%", L"A&B#1%"}));

struct CommandLineRow {
    const wchar_t* file;
    const wchar_t* parameters;
    const wchar_t* command_line;
};

class StartCommandLine : public ::testing::TestWithParam<CommandLineRow> {};

TEST_P(StartCommandLine, QuotesTheFileUnlessItIsQuoted)
{
    EXPECT_EQ(platform::program_command_line(GetParam().file, GetParam().parameters), GetParam().command_line);
}

INSTANTIATE_TEST_SUITE_P(
    Files, StartCommandLine,
    ::testing::Values(CommandLineRow{L"iexplore", L"http://x/", L"\"iexplore\" http://x/"},
                      CommandLineRow{L"\\\\print\\printers$", L"", L"\"\\\\print\\printers$\""},
                      CommandLineRow{L"\"C:\\a b\\c.exe\"", L"-x", L"\"C:\\a b\\c.exe\" -x"},
                      CommandLineRow{L"mailto:a@b?subject=x y", L"", L"\"mailto:a@b?subject=x y\""}));

TEST(StartProgram, NothingToStartFailsWithoutADialog)
{
    EXPECT_FALSE(platform::start_program(L"Z:\\no such folder\\no such program.exe", L"", L""));
}

}  // namespace
}  // namespace tovalen
