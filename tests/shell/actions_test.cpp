// What each button hands to the system, in the program's own process: the exact command line
// the browser gets (a stand-in registered as the browser, never one beside the program or in the
// current directory), the printer share and the mail URL of the last report with a fresh last-boot text,
// as the registered mail program receives it. Each test starts with no company value in the
// machine policy and puts back what it found there.
#include "shell/actions.h"

#include "company_network.h"
#include "platform/clipboard.h"
#include "platform/programs.h"
#include "policy_names.h"
#include "report/report.h"
#include "report/report_layout.h"
#include "shell/action_texts.h"
#include "shell/shell.h"
#include "support/browser_stand_in.h"
#include "support/build_paths.h"
#include "support/company_policy.h"
#include "support/host_stand_ins.h"
#include "support/polling.h"
#include "support/recorded_messages.h"
#include "support/registry_values.h"
#include "support/scoped_state.h"
#include "support/share_stand_in.h"
#include "support/strict_url.h"
#include "support/system_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <thread>

namespace tovalen {
namespace {

// Why a mail never reached the desktop's stand-in, for a failure seen once in a stress run: a
// mail URL handed over again the program's way, whether the shell took it and whether it arrived.
std::string mail_hand_over_diagnosis()
{
    std::ostringstream out;
    if (platform::start_program(L"mailto:diagnosis@example.invalid", L"", L"")) {
        out << "a second hand-over was taken";
    } else {
        out << "a second hand-over failed with error " << ::GetLastError();
    }
    out << (testing::wait_for_host_record(L"xdg-email").empty() ? " and did not arrive either" : " and arrived");
    return out.str();
}

class Actions : public ::testing::Test {
protected:
    static void SetUpTestSuite() { start_up(); }

    void SetUp() override
    {
        policy_.emplace(HKEY_LOCAL_MACHINE, POLICY_KEY);
        for (const wchar_t* name : testing::COMPANY_VALUE_NAMES) {
            ASSERT_TRUE(policy_->remove(name)) << "the policy key cannot be changed";
            ASSERT_TRUE(installer_.remove(name)) << "the installer's key cannot be changed";
        }
        ::DeleteFileW(testing::stand_in_record_file().c_str());
        testing::clear_host_records();
        window_layer().set_control_text(REPORT_EDITOR, L"a report");
        window_layer().show_window(MAIN_WINDOW, false);
        report_current = 1;
    }

    static void expect_hidden_and_stale()
    {
        EXPECT_FALSE(::IsWindowVisible(window_layer().window_handle(MAIN_WINDOW)));
        EXPECT_EQ(::GetWindowTextLengthW(window_layer().window_handle(REPORT_EDITOR)), 0);
        EXPECT_EQ(report_current, 0);
    }

    // Made for each test, so that a test can also put the key back as it was before its end.
    std::optional<testing::RegistryValues> policy_;
    testing::RegistryValues installer_{HKEY_LOCAL_MACHINE, INSTALLER_KEY};
    testing::CurrentDirectory directory_;
    testing::EnvironmentVariable record_variable_{L"TOVALEN_RECORD_FILE", testing::stand_in_record_file()};
    testing::SavedValue<ReportValues> saved_values_{report_values};
};

// The browser by its full path: where the system registers it, else under the program files
// folder, else the user's default browser through the shell. A file of the browser's name beside
// the program or in the current directory is never started.
struct BrowserRow {
    const char* name;
    bool registered;       // the stand-in registered as the browser (else a file that is not there)
    bool in_program_files;  // a copy of the stand-in under the program files folder
    bool program_files_set;  // the ProgramFiles variable set (to the folder holding that copy)
};

class BrowserChoice : public Actions, public ::testing::WithParamInterface<BrowserRow> {};

TEST_P(BrowserChoice, StartsTheBrowserByItsFullPathOnly)
{
    const BrowserRow& row = GetParam();
    testing::BrowserStandIn browser;
    testing::RegistryValues registration(HKEY_LOCAL_MACHINE,
                                         L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE");
    if (!row.registered) {
        ASSERT_TRUE(registration.set_text(L"", testing::build_file(L"stand-ins/no such browser.exe")));
    }
    // Copies beside the program and in the current directory, named as the browser: a start by
    // bare name would find them first. The relative copy stands where an unset ProgramFiles leaves
    // "%ProgramFiles%\Internet Explorer\iexplore.exe" to be looked up.
    const std::wstring planted = testing::build_file(L"stand-ins/planted");
    const std::wstring program_files = testing::build_file(L"stand-ins/program files");
    testing::PlacedFiles files;
    for (const std::wstring& copy :
         {testing::program_folder() + L"\\iexplore.exe", planted + L"\\iexplore.exe",
          planted + L"\\%ProgramFiles%\\Internet Explorer\\iexplore.exe"}) {
        ASSERT_TRUE(files.place(testing::BrowserStandIn::path(), copy)) << ::testing::PrintToString(copy);
    }
    if (row.in_program_files) {
        ASSERT_TRUE(files.place(testing::BrowserStandIn::path(), program_files + L"\\Internet Explorer\\iexplore.exe"));
    }
    const testing::CurrentDirectory in_planted(planted);  // left again before the copies go
    ASSERT_TRUE(in_planted.changed());
    testing::EnvironmentVariable program_files_variable(L"ProgramFiles", row.program_files_set ? program_files.c_str() : nullptr);
    open_helpdesk_form();
    const std::wstring url = helpdesk_form_url(HELPDESK_SERVER);
    if (row.registered) {
        EXPECT_EQ(testing::wait_for_stand_in_record(), testing::BrowserStandIn::started_with(url));
    } else if (row.in_program_files && row.program_files_set) {
        EXPECT_EQ(testing::wait_for_stand_in_record(),
                  L"\"" + program_files + L"\\Internet Explorer\\iexplore.exe\" " + url);
    } else {
        const std::vector<std::wstring> opened = testing::wait_for_host_record(L"xdg-open");
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(testing::percent_decode(opened.front()), testing::percent_decode(url));
        EXPECT_EQ(testing::read_utf16_file(testing::stand_in_record_file()), L"") << "a planted browser was started";
    }
    EXPECT_TRUE(registration.restore());
    EXPECT_TRUE(browser.restore());
}

INSTANTIATE_TEST_SUITE_P(Places, BrowserChoice,
                         ::testing::Values(BrowserRow{"registered", true, true, true},
                                           BrowserRow{"in_program_files", false, true, true},
                                           BrowserRow{"default_browser", false, false, true},
                                           BrowserRow{"program_files_unset", false, true, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Actions, PrinterShareIsThePrintServersShare)
{
    EXPECT_EQ(printer_share_path(PRINT_SERVER), std::wstring(L"\\\\") + PRINT_SERVER + L"\\printers$");
    testing::PrinterShareStandIn share(PRINT_SERVER);
    ASSERT_TRUE(share.placed());
    open_printer_share();
    expect_hidden_and_stale();
    EXPECT_EQ(testing::wait_for_stand_in_record(), testing::PrinterShareStandIn::opened_for(PRINT_SERVER));
}

// As on a machine where neither the installer nor Group Policy set anything. The key is gone
// once the owner has put it back, unless it was there before the test: then the prefix holds a
// policy key that some earlier run left behind.
TEST_F(Actions, WithoutThePolicyKeyTheBuiltInValueIsUsed)
{
    policy_.reset();
    platform::UniqueKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, POLICY_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()),
              ERROR_FILE_NOT_FOUND)
        << "the policy key was left in the prefix";
    testing::PrinterShareStandIn share(PRINT_SERVER);
    ASSERT_TRUE(share.placed());
    testing::RecordedMessages messages;
    open_printer_share();
    expect_hidden_and_stale();
    EXPECT_EQ(testing::wait_for_stand_in_record(), testing::PrinterShareStandIn::opened_for(PRINT_SERVER));
    EXPECT_TRUE(messages.messages().empty());
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
    const std::wstring url = current_report_mail_url(SUPPORT_MAILBOX);
    EXPECT_EQ(url, report_mail_url(SUPPORT_MAILBOX, L"JSMITH", values, L"1/1/2020 1:00:00 AM"));
    EXPECT_NE(url.find(L"?subject=JSMITH's%20Computer%20Information&body=----Hardware----%0D%0AModel:%20AT%26T%20100%25"),
              std::wstring::npos)
        << ::testing::PrintToString(url);
    EXPECT_NE(url.find(L"User%20Name:%20jsmith%0D%0A"), std::wstring::npos);
    EXPECT_NE(url.find(L"Last%20System%20Boot:%201%2F1%2F2020%201:00:00%20AM%0D%0ATotal%20Uptime%20:1-Days%20%0D%0A"),
              std::wstring::npos);
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
    ASSERT_EQ(handed.size(), 1u) << (handed.empty() ? mail_hand_over_diagnosis() : std::string());
    EXPECT_EQ(testing::percent_decode(handed.front()), testing::percent_decode(current_report_mail_url(SUPPORT_MAILBOX)));
    EXPECT_TRUE(net.restore());
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
    values.model = L"AT&T 15\" 100% #1+2 \u00e9\u0416\U0001D11E";
    values.serial_number = L"#SER=1&to=x@y";
    values.bios_version = L"LINE1\r\nLINE2";
    values.logon_server = L"\\\\DC01";
    values.av_running = L"No";
    values.uptime = L"1-Days ";
    report_values = values;

    send_report_mail();
    expect_hidden_and_stale();
    const std::wstring command_line = testing::wait_for_stand_in_record();
    const std::wstring program_part = L"\"" + mail_program + L"\" \"";
    ASSERT_EQ(command_line.rfind(program_part, 0), 0u) << ::testing::PrintToString(command_line);
    ASSERT_EQ(command_line.back(), L'"');
    const std::wstring_view handed =
        std::wstring_view(command_line).substr(program_part.size(), command_line.size() - program_part.size() - 1);
    // What a mail program that takes only a fully encoded URL needs: nothing raw but ASCII.
    EXPECT_EQ(std::find_if(handed.begin(), handed.end(), [](wchar_t c) { return c <= L' ' || c >= 0x7F; }), handed.end());
    const testing::StrictUrl url = testing::split_strict_url(handed);
    EXPECT_EQ(url.path, std::wstring(L"mailto:") + SUPPORT_MAILBOX);
    EXPECT_FALSE(url.fragment.has_value()) << ::testing::PrintToString(url.fragment.value_or(L""));
    EXPECT_EQ(testing::query_value(url, L"subject"), L"O'NEIL&CO's Computer Information");
    EXPECT_EQ(testing::query_value(url, L"body"),
              L"----Hardware----\r\nModel: AT&T 15\" 100% #1+2 \u00e9\u0416\U0001D11E\r\nSerial#: #SER=1&to=x@y\r\nBIOS Version: LINE1  LINE2\r\n"
              L"HDD Free Space: \r\n\r\n----OS----\r\nComputer Name: \r\nDomain: \r\nOperating System: \r\n"
              L"OS Version: \r\nOS Build: \r\nLast System Boot: 4/12/2019 9:14:33 AM\r\nTotal Uptime :1-Days \r\n\r\n"
              L"----Network----\r\nIP Address: \r\nMAC Address: \r\n\r\n----User----\r\nUser Name: o'neil&co\r\n"
              L"Logon Server: \\\\DC01\r\n\r\n----Software----\r\nInternet Explorer Version: \r\n"
              L"Antivirus Running: No\r\nAntivirus Version: \r\nAntivirus Definition Date: \r\n");
    EXPECT_TRUE(handler.restore());
    EXPECT_TRUE(net.restore());
}

// A mail that no program takes leaves the report shown, and the whole report is on the
// clipboard. (A mail cut to its limit is handed over in the same call; Wine's shell crashes on a
// URL that long, so its rows are those of the mail's text alone.)
TEST_F(Actions, MailThatNoProgramTakesPutsTheReportOnTheClipboard)
{
    testing::SystemProgram net(L"net.exe");
    ASSERT_TRUE(net.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
    testing::EnvironmentVariable net_output(L"TOVALEN_NET_OUTPUT", L"two");
    const HWND window = window_layer().window_handle(MAIN_WINDOW);
    testing::RegistryValues handler(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\mailto\\shell\\open\\command");
    report_values.model = L"M";
    ASSERT_TRUE(platform::put_text_on_clipboard(window, L"before"));
    report_current = 1;
    ASSERT_TRUE(handler.set_text(L"", L"\"Z:\\no such folder\\mail.exe\" \"%1\""));
    testing::RecordedMessages messages;
    send_report_mail();
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(report_current, 1);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages().front().text, no_mail_program_message(SUPPORT_MAILBOX));
    EXPECT_EQ(platform::clipboard_text(window), layout_report(report_values, L"1/1/2020 1:00:00 AM"));
    EXPECT_TRUE(handler.restore());
    EXPECT_TRUE(net.restore());
}

// Another program holds the clipboard open: the user is told so, and the report stays shown.
TEST_F(Actions, CopyReportThatTheClipboardRefusesIsNamedInABox)
{
    platform::UniqueKernelHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    platform::UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        ::OpenClipboard(nullptr);
        ::SetEvent(held.get());
        ::WaitForSingleObject(done.get(), testing::GENEROUS_DEADLINE_MS);
        ::CloseClipboard();  // which may send to the window that owned the clipboard last
        ::ResetEvent(held.get());
    });
    ::WaitForSingleObject(held.get(), testing::GENEROUS_DEADLINE_MS);
    testing::RecordedMessages messages;
    copy_report();
    ::SetEvent(done.get());
    EXPECT_TRUE(testing::wait_until([&] {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&message);
        }
        return ::WaitForSingleObject(held.get(), 0) == WAIT_TIMEOUT;
    }));
    holder.join();
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages().front().title, L"Tovalen");
    EXPECT_TRUE(::IsWindowVisible(window_layer().window_handle(MAIN_WINDOW)));
    EXPECT_EQ(report_current, 1);
}

// Two clicks queued before the first is handled: the first hides the window, the second finds it
// hidden and does nothing.
TEST_F(Actions, TwoQueuedClicksSendOneMail)
{
    testing::SystemProgram net(L"net.exe");
    ASSERT_TRUE(net.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
    HWND button = window_layer().window_handle(MAIL_BUTTON);
    for (int click = 0; click < 2; ++click) {
        ::PostMessageW(window_layer().window_handle(MAIN_WINDOW), WM_COMMAND, MAKEWPARAM(MAIL_BUTTON, BN_CLICKED),
                       reinterpret_cast<LPARAM>(button));
    }
    for (int code = window_layer().poll_event(); code != platform::NO_EVENT; code = window_layer().poll_event()) {
        dispatch_event(code, window_layer().event_object(), window_layer().event_type());
    }
    // A mail handed over after both clicks were handled arrives after any mail they handed over.
    ASSERT_TRUE(platform::start_program(L"mailto:last@example.invalid", L"", L""));
    ASSERT_TRUE(testing::wait_until([] {
        const std::vector<std::wstring> handed = testing::host_record(L"xdg-email");
        return !handed.empty() && handed.back().find(L"last@example.invalid") != std::wstring::npos;
    }));
    EXPECT_EQ(testing::host_record(L"xdg-email").size(), 2u);
    EXPECT_TRUE(net.restore());
}

// The company values as the machine policy sets them, written for real under its key. A row
// either expects what its button hands over or the error box naming the value, the key and what
// is wrong; after a box, the same button pressed again with the value taken away hands over the
// built-in value, once: the value is read at each press, and the first press started nothing
// (the stand-ins add each start to their records).
class PolicyActions : public Actions, public ::testing::WithParamInterface<testing::PolicyRow> {
protected:
    testing::RegistryValues& key_of(const testing::PolicySetting& setting)
    {
        return setting.by_installer ? installer_ : *policy_;
    }

    static void press(int button)
    {
        switch (button) {
        case TICKET_BUTTON:
            open_helpdesk_form();
            break;
        case PRINTER_BUTTON:
            open_printer_share();
            break;
        case MAIL_BUTTON:
            send_report_mail();
            break;
        }
    }

    // Waits for the one hand-over of the button and checks it carries the value.
    static void expect_handed_over_once(int button, const std::wstring& value)
    {
        switch (button) {
        case TICKET_BUTTON:
            EXPECT_EQ(testing::wait_for_stand_in_record(), testing::BrowserStandIn::started_with(value));
            break;
        case PRINTER_BUTTON:
            EXPECT_EQ(testing::wait_for_stand_in_record(), testing::PrinterShareStandIn::opened_for(value));
            break;
        case MAIL_BUTTON: {
            const std::vector<std::wstring> handed = testing::wait_for_host_record(L"xdg-email");
            ASSERT_EQ(handed.size(), 1u) << (handed.empty() ? mail_hand_over_diagnosis() : std::string());
            EXPECT_EQ(testing::percent_decode(handed.front()), testing::percent_decode(current_report_mail_url(value)));
            break;
        }
        }
    }

    testing::BrowserStandIn browser_;
    testing::SystemProgram net_{L"net.exe"};
    testing::PrinterShareStandIn built_in_share_{PRINT_SERVER};
    testing::PrinterShareStandIn configured_share_{L"print2.corp.example"};
    testing::EnvironmentVariable net_output_{L"TOVALEN_NET_OUTPUT", L"two"};
};

TEST_P(PolicyActions, UseTheValueOrNameWhatIsWrong)
{
    const testing::PolicyRow& row = GetParam();
    ASSERT_TRUE(browser_.registered());
    ASSERT_TRUE(net_.replace_with(testing::build_file(L"stand-ins/net/net.exe")));
    ASSERT_TRUE(built_in_share_.placed() && configured_share_.placed());
    for (const testing::PolicySetting& setting : row.settings) {
        ASSERT_TRUE(testing::store(key_of(setting), setting));
    }
    testing::RecordedMessages messages;
    press(row.button);
    expect_hidden_and_stale();
    if (!row.handed_over.empty()) {
        EXPECT_TRUE(messages.messages().empty());
        expect_handed_over_once(row.button, row.handed_over);
    } else {
        ASSERT_EQ(messages.messages().size(), 1u);
        const testing::ShownMessage& shown = messages.messages().front();
        EXPECT_EQ(shown.title, L"Tovalen");
        EXPECT_EQ(shown.flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
        const std::wstring refusal = testing::refusal_message(row.settings.front());
        ASSERT_FALSE(refusal.empty()) << "the row's first setting is one its check lets through";
        EXPECT_EQ(shown.text, refusal);

        for (const testing::PolicySetting& setting : row.settings) {
            ASSERT_TRUE(key_of(setting).remove(setting.name));
        }
        window_layer().show_window(MAIN_WINDOW, false);
        press(row.button);
        EXPECT_EQ(messages.messages().size(), 1u) << "no second box";
        expect_handed_over_once(row.button, testing::built_in_value(row.button));
    }
    EXPECT_TRUE(net_.restore());
    EXPECT_TRUE(browser_.restore());
}

constexpr wchar_t FORM_URL[] = L"https://Tickets.corp.example:8443/it/new?list=%7B7%7D&from=tovalen#form";
const std::wstring LINES(L"print2.corp.example\0print3.corp.example\0", 40);

using testing::PolicyRow;

INSTANTIATE_TEST_SUITE_P(
    Values, PolicyActions,
    ::testing::Values(
        PolicyRow{"form_url_is_the_whole_url", TICKET_BUTTON, {{POLICY_TICKET_FORM_URL, REG_SZ, FORM_URL}}, FORM_URL},
        // The fixture's report is empty, so a filled placeholder leaves only its field's name.
        PolicyRow{"form_url_filled_with_the_report", TICKET_BUTTON,
                  {{POLICY_TICKET_FORM_URL, REG_SZ, L"https://t.corp.example/new?pc={computer_name}#{model}"}},
                  L"https://t.corp.example/new?pc=#"},
        PolicyRow{"form_url_leaves_the_server_unread", TICKET_BUTTON,
                  {{POLICY_TICKET_FORM_URL, REG_SZ, FORM_URL}, {POLICY_HELPDESK_SERVER, REG_SZ, L"not a server"}},
                  FORM_URL},
        PolicyRow{"helpdesk_server_with_port", TICKET_BUTTON,
                  {{POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk2.corp.example:8080"}},
                  helpdesk_form_url(L"helpdesk2.corp.example:8080")},
        PolicyRow{"empty_form_url_leaves_the_server", TICKET_BUTTON,
                  {{POLICY_TICKET_FORM_URL, REG_SZ, L""}, {POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk2"}},
                  helpdesk_form_url(L"helpdesk2")},
        PolicyRow{"empty_server_is_the_built_in_one", TICKET_BUTTON, {{POLICY_HELPDESK_SERVER, REG_SZ, L""}},
                  helpdesk_form_url(HELPDESK_SERVER)},
        PolicyRow{"form_url_not_http", TICKET_BUTTON,
                  {{POLICY_TICKET_FORM_URL, REG_SZ, L"ftp://tickets.corp.example/"},
                   {POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk2"}}},
        PolicyRow{"form_url_as_a_number", TICKET_BUTTON, {{POLICY_TICKET_FORM_URL, REG_DWORD, L""}}},
        PolicyRow{"helpdesk_server_with_a_path", TICKET_BUTTON, {{POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk2/sites"}}},
        PolicyRow{"helpdesk_server_expandable", TICKET_BUTTON, {{POLICY_HELPDESK_SERVER, REG_EXPAND_SZ, L"helpdesk2"}}},
        PolicyRow{"form_url_given_to_the_installer", TICKET_BUTTON, {{POLICY_TICKET_FORM_URL, REG_SZ, FORM_URL, true}},
                  FORM_URL},
        PolicyRow{"helpdesk_server_given_to_the_installer", TICKET_BUTTON,
                  {{POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk2", true}}, helpdesk_form_url(L"helpdesk2")},
        PolicyRow{"helpdesk_server_of_group_policy_before_the_installers_form_url", TICKET_BUTTON,
                  {{POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk2"}, {POLICY_TICKET_FORM_URL, REG_SZ, FORM_URL, true}},
                  helpdesk_form_url(L"helpdesk2")},
        PolicyRow{"print_server", PRINTER_BUTTON, {{POLICY_PRINT_SERVER, REG_SZ, L"print2.corp.example"}},
                  L"print2.corp.example"},
        PolicyRow{"print_server_given_to_the_installer", PRINTER_BUTTON,
                  {{POLICY_PRINT_SERVER, REG_SZ, L"print2.corp.example", true}}, L"print2.corp.example"},
        PolicyRow{"print_server_of_group_policy_before_the_installers", PRINTER_BUTTON,
                  {{POLICY_PRINT_SERVER, REG_SZ, L"print2.corp.example"},
                   {POLICY_PRINT_SERVER, REG_SZ, L"print3.corp.example", true}},
                  L"print2.corp.example"},
        PolicyRow{"installers_print_server_ending_in_a_dot", PRINTER_BUTTON,
                  {{POLICY_PRINT_SERVER, REG_SZ, L"print2.corp.", true}}},
        PolicyRow{"print_server_ending_in_a_dot", PRINTER_BUTTON, {{POLICY_PRINT_SERVER, REG_SZ, L"print2.corp."}}},
        PolicyRow{"print_server_as_lines", PRINTER_BUTTON, {{POLICY_PRINT_SERVER, REG_MULTI_SZ, LINES}}},
        PolicyRow{"mailbox", MAIL_BUTTON, {{POLICY_SUPPORT_MAILBOX, REG_SZ, L"service-desk@corp.example"}},
                  L"service-desk@corp.example"},
        PolicyRow{"mailbox_with_a_query", MAIL_BUTTON,
                  {{POLICY_SUPPORT_MAILBOX, REG_SZ, L"it@corp.example?cc=boss@corp.example"}}},
        PolicyRow{"mailbox_as_a_number", MAIL_BUTTON, {{POLICY_SUPPORT_MAILBOX, REG_DWORD, L""}}}),
    [](const auto& row) { return std::string(row.param.name); });

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
    ::testing::Values(CommandLineRow{L"C:\\ie\\iexplore.exe", L"http://x/", L"\"C:\\ie\\iexplore.exe\" http://x/"},
                      CommandLineRow{L"\\\\print\\printers$", L"", L"\"\\\\print\\printers$\""},
                      CommandLineRow{L"\"C:\\a b\\c.exe\"", L"-x", L"\"C:\\a b\\c.exe\" -x"},
                      CommandLineRow{L"mailto:a@b?subject=x y", L"", L"\"mailto:a@b?subject=x y\""}));

TEST(StartProgram, NothingToStartFailsWithoutADialog)
{
    EXPECT_FALSE(platform::start_program(L"Z:\\no such folder\\no such program.exe", L"", L""));
}

}  // namespace
}  // namespace tovalen
