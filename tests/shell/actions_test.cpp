// What each button hands to the system, in the program's own process: the exact command line
// the browser gets (through a stand-in browser in the prefix's system folder, never one in the
// current directory), the printer share and the mail URL of the last report with a fresh last-boot text,
// as the registered mail program receives it.
#include "shell/actions.h"

#include "company_network.h"
#include "platform/programs.h"
#include "report/report.h"
#include "shell/action_texts.h"
#include "shell/shell.h"
#include "support/build_paths.h"
#include "support/host_stand_ins.h"
#include "support/polling.h"
#include "support/registry_values.h"
#include "support/scoped_state.h"
#include "support/strict_url.h"
#include "support/system_program.h"

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
    testing::SystemProgram browser(L"iexplore.exe");
    ASSERT_TRUE(browser.replace_with(testing::build_file(L"stand-ins/browser/iexplore.exe")));
    open_helpdesk_form();
    expect_hidden_and_stale();
    EXPECT_EQ(wait_for_record(record_file()), L"\"iexplore\" " + helpdesk_form_url(HELPDESK_SERVER));
    EXPECT_TRUE(browser.restore());
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
    testing::SystemProgram net(L"net.exe");
    ASSERT_TRUE(net.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
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
    EXPECT_TRUE(net.restore());
}

TEST_F(Actions, SendingTheMailHidesTheWindowAndHandsTheMailToTheDesktop)
{
    testing::SystemProgram net(L"net.exe");
    ASSERT_TRUE(net.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
    testing::EnvironmentVariable net_output(L"TOVALEN_NET_OUTPUT", L"two");
    report_values.user_name = L"jsmith";
    report_values.model = L"AT&T 100%";
    send_report_mail();
    expect_hidden_and_stale();
    const std::vector<std::wstring> handed = testing::wait_for_host_record(L"xdg-email");
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(testing::percent_decode(handed.front()), testing::percent_decode(current_report_mail_url()));
    EXPECT_TRUE(net.restore());
}

// A browser left in the current directory is not started; with none on the search path the
// shell's open operation still starts the registered one (the stand-in, registered under App
// Paths for the test), which is given its full path instead of the bare name.
TEST_F(Actions, BrowserInTheCurrentDirectoryIsNotStarted)
{
    testing::SystemProgram system_browser(L"iexplore.exe");
    ASSERT_TRUE(system_browser.remove());
    ASSERT_TRUE(directory_.change_to(testing::build_file(L"stand-ins/browser")));
    testing::RegistryValues app_path(HKEY_LOCAL_MACHINE,
                                     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE");
    ASSERT_TRUE(app_path.set_text(L"", testing::build_file(L"stand-ins/browser/iexplore.exe")));
    open_helpdesk_form();
    const std::wstring command_line = wait_for_record(record_file());
    EXPECT_NE(command_line.rfind(L"\"iexplore\" ", 0), 0u) << "started from the current directory";
    EXPECT_NE(command_line.find(L" " + helpdesk_form_url(HELPDESK_SERVER)), std::wstring::npos)
        << ::testing::PrintToString(command_line);
    EXPECT_TRUE(app_path.restore());
    EXPECT_TRUE(system_browser.restore());
}

// The mail as the registered mail program receives it (the stand-in, registered for mailto: for
// the test), read by a parser that follows the URL standard: every line of the report survives,
// hostile values included.
TEST_F(Actions, MailProgramReceivesEveryLineOfTheReport)
{
    testing::SystemProgram net(L"net.exe");
    ASSERT_TRUE(net.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
    const std::wstring mail_program = testing::build_file(L"stand-ins/browser/iexplore.exe");
    testing::RegistryValues handler(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\mailto\\shell\\open\\command");
    ASSERT_TRUE(handler.set_text(L"", L"\"" + mail_program + L"\" \"%1\""));
    ReportValues values;
    values.user_name = L"o'neil&co";
    values.model = L"AT&T 100% #1";
    values.serial_number = L"#SER=1&to=x@y";
    values.bios_version = L"LINE1\r\nLINE2";
    values.logon_server = L"\\\\DC01";
    values.av_running = L"No";
    values.uptime = L"1-Days ";
    report_values = values;

    send_report_mail();
    expect_hidden_and_stale();
    const std::wstring command_line = wait_for_record(record_file());
    const std::wstring program_part = L"\"" + mail_program + L"\" \"";
    ASSERT_EQ(command_line.rfind(program_part, 0), 0u) << ::testing::PrintToString(command_line);
    ASSERT_EQ(command_line.back(), L'"');
    const testing::StrictUrl url = testing::split_strict_url(
        std::wstring_view(command_line).substr(program_part.size(), command_line.size() - program_part.size() - 1));
    EXPECT_EQ(url.path, std::wstring(L"mailto:") + SUPPORT_MAILBOX);
    EXPECT_FALSE(url.fragment.has_value()) << ::testing::PrintToString(url.fragment.value_or(L""));
    EXPECT_EQ(testing::query_value(url, L"subject"), L"O'NEIL&CO's Computer Information");
    EXPECT_EQ(testing::query_value(url, L"body"),
              L"----Hardware----\r\nModel: AT&T 100% #1\r\nSerial#: #SER=1&to=x@y\r\nBIOS Version: LINE1\r\nLINE2\r\n"
              L"HDD Free Space: \r\n\r\n----OS----\r\nComputer Name: \r\nDomain: \r\nOperating System: \r\n"
              L"OS Version: \r\nOS Build: \r\nLast System Boot: 4/12/2019 9:14:33 AM\r\nTotal Uptime :1-Days \r\n\r\n"
              L"----Network----\r\nIP Address: \r\nMAC Address: \r\n\r\n----User----\r\nUser Name: o'neil&co\r\n"
              L"Logon Server: \\\\DC01\r\n\r\n----Software----\r\nInternet Explorer Version: \r\n"
              L"Antivirus Running: No\r\nAntivirus Version: \r\nAntivirus Definition Date: \r\n");
    EXPECT_TRUE(handler.restore());
    EXPECT_TRUE(net.restore());
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
