// The running program, driven from outside through the same window messages the tray and the
// user send it.
#include "company_network.h"
#include "policy_names.h"
#include "support/build_paths.h"
#include "support/host_stand_ins.h"
#include "support/program_under_test.h"
#include "support/registry_values.h"
#include "support/share_stand_in.h"
#include "support/strict_url.h"
#include "support/system_program.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tovalen {
namespace {

using testing::ProgramUnderTest;

constexpr int EDITOR = 1;
constexpr wchar_t MARKER[] = L"left by the test";

class ShellEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program.started());
        ASSERT_NE(program.main_window(), nullptr);
        ASSERT_TRUE(program.wait_until_handled()) << "the program reads its messages once it has started";
    }

    // A press whose handling shows nothing the test could wait for: the sentinel posted after it
    // proves it has been handled.
    void press_and_wait_until_handled(UINT mouse_message)
    {
        program.post_tray(mouse_message);
        ASSERT_TRUE(program.wait_until_handled());
    }

    // A left press that builds or shows the report.
    void press_to_show()
    {
        program.post_tray(WM_LBUTTONDOWN);
        ASSERT_TRUE(program.wait_for_report_window());
    }

    bool shows_a_report() { return program.editor_text().rfind(L"----Hardware----", 0) == 0; }

    ProgramUnderTest program{testing::tovalen_program_path()};
};

TEST_F(ShellEndToEnd, StartsHiddenWithAnEmptyEditor)
{
    EXPECT_FALSE(program.window_visible());
    EXPECT_EQ(program.editor_text(), L"");
}

TEST_F(ShellEndToEnd, LeftPressBuildsTheReportAndShowsTheWindowTopmost)
{
    press_to_show();
    EXPECT_TRUE(program.window_visible());
    EXPECT_TRUE(program.window_topmost());
    EXPECT_TRUE(shows_a_report()) << "editor holds: " << ::testing::PrintToString(program.editor_text());
}

TEST_F(ShellEndToEnd, SecondLeftPressWhileShownDoesNotRebuild)
{
    press_to_show();
    program.set_editor_text(MARKER);
    // Already shown, so the window tells nothing: the sentinel proves the press was handled.
    press_and_wait_until_handled(WM_LBUTTONDOWN);
    EXPECT_EQ(program.editor_text(), MARKER);
    EXPECT_TRUE(program.window_visible());
}

TEST_F(ShellEndToEnd, DoubleClickBuildsOnceFromItsFirstPress)
{
    program.post_tray(WM_LBUTTONDOWN);
    program.post_tray(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(program.wait_for_report_window());
    EXPECT_TRUE(program.window_visible());
    EXPECT_TRUE(shows_a_report());

    program.set_editor_text(MARKER);
    press_and_wait_until_handled(WM_LBUTTONDBLCLK);
    EXPECT_EQ(program.editor_text(), MARKER) << "the double-click itself builds nothing";
}

TEST_F(ShellEndToEnd, RightPressesDoNothing)
{
    press_and_wait_until_handled(WM_RBUTTONDOWN);
    press_and_wait_until_handled(WM_RBUTTONDBLCLK);
    EXPECT_FALSE(program.window_visible());
    EXPECT_EQ(program.editor_text(), L"");

    press_to_show();
    program.set_editor_text(MARKER);
    press_and_wait_until_handled(WM_RBUTTONDOWN);
    EXPECT_TRUE(program.window_visible());
    EXPECT_EQ(program.editor_text(), MARKER);
}

TEST_F(ShellEndToEnd, CloseHidesEmptiesAndMarksTheReportStale)
{
    press_to_show();
    program.post_close();
    ASSERT_TRUE(program.wait_for_report_window(false));
    EXPECT_EQ(program.editor_text(), L"");
    EXPECT_TRUE(::IsWindow(program.main_window())) << "closing hides, it does not destroy";

    program.set_editor_text(MARKER);
    press_to_show();
    EXPECT_TRUE(shows_a_report()) << "the next press builds again";
    EXPECT_TRUE(program.window_topmost());
}

TEST_F(ShellEndToEnd, NotificationFromTheEditorDoesNothing)
{
    press_to_show();
    program.set_editor_text(MARKER);
    program.post_control_notification(EDITOR, EN_CHANGE);
    ASSERT_TRUE(program.wait_until_handled()) << "the sentinel proves the notification was handled";
    EXPECT_TRUE(program.window_visible());
    EXPECT_EQ(program.editor_text(), MARKER);
}

struct NamedButton {
    int number;
    const wchar_t* name;
};

constexpr NamedButton NAMED_BUTTONS[] = {{2, L"Create Ticket"}, {3, L"Install Printer"}, {4, L"Send To IT"}};

BOOL CALLBACK collect_tooltips(HWND window, LPARAM found)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (_wcsicmp(name, TOOLTIPS_CLASSW) == 0) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

TEST_F(ShellEndToEnd, ButtonsCarryTheirNamesAndShowThemAsTooltips)
{
    for (const NamedButton& button : NAMED_BUTTONS) {
        SCOPED_TRACE(button.number);
        EXPECT_EQ(testing::window_text(program.control(button.number)), button.name);
    }
    std::vector<HWND> tooltips;
    ::EnumWindows(collect_tooltips, reinterpret_cast<LPARAM>(&tooltips));
    const auto owned = std::find_if(tooltips.begin(), tooltips.end(),
                                    [&](HWND tip) { return ::GetWindow(tip, GW_OWNER) == program.main_window(); });
    ASSERT_NE(owned, tooltips.end()) << "no tooltip control belongs to the report window";
    DWORD_PTR tools = 0;
    ::SendMessageTimeoutW(*owned, TTM_GETTOOLCOUNT, 0, 0, SMTO_NORMAL, 30000, &tools);
    EXPECT_EQ(tools, 3u) << "one tool for each button";
}

}  // namespace
}  // namespace tovalen


namespace tovalen {
namespace {

// The buttons, with the browser stand-in in the prefix's system folder so that the ticket button
// starts it instead of a real browser (the current directory is never searched).
class ButtonsProgram : public ::testing::Test {
protected:
    static testing::ProgramOptions options()
    {
        testing::ProgramOptions result;
        result.working_directory = testing::build_file(L"stand-ins/browser");
        result.environment = {{L"TOVALEN_RECORD_FILE", record_file()}};
        return result;
    }

    static std::wstring record_file() { return testing::build_file(L"stand-ins/browser/record.txt"); }

    void SetUp() override
    {
        for (const wchar_t* name :
             {POLICY_HELPDESK_SERVER, POLICY_PRINT_SERVER, POLICY_SUPPORT_MAILBOX, POLICY_TICKET_FORM_URL}) {
            ASSERT_TRUE(policy_.remove(name)) << "the policy key cannot be changed";
        }
        ::DeleteFileW(record_file().c_str());
        testing::clear_host_records();
        ASSERT_TRUE(browser_.replace_with(testing::build_file(L"stand-ins/browser/iexplore.exe")));
        ASSERT_TRUE(program.started());
        ASSERT_NE(program.main_window(), nullptr);
        ASSERT_TRUE(program.wait_until_handled());
    }

    void TearDown() override { EXPECT_TRUE(browser_.restore()); }

    // The company values as the machine policy sets them; none while a test starts.
    testing::RegistryValues policy_{HKEY_LOCAL_MACHINE, POLICY_KEY};
    testing::SystemProgram browser_{L"iexplore.exe"};
    testing::ProgramUnderTest program{testing::tovalen_program_path(), options()};
};

class ButtonsEndToEnd : public ButtonsProgram, public ::testing::WithParamInterface<int> {};

TEST_P(ButtonsEndToEnd, HidesTheWindowAndEmptiesTheReport)
{
    program.post_tray(WM_LBUTTONDOWN);
    ASSERT_TRUE(program.wait_for_report_window());
    ASSERT_TRUE(program.window_visible());
    ASSERT_FALSE(program.editor_text().empty());

    program.post_control_notification(GetParam(), BN_CLICKED);
    EXPECT_TRUE(program.wait_for_report_window(false)) << "the window stays shown";
    EXPECT_EQ(program.editor_text(), L"");

    program.set_editor_text(MARKER);
    program.post_tray(WM_LBUTTONDOWN);
    ASSERT_TRUE(program.wait_for_report_window());
    EXPECT_EQ(program.editor_text().rfind(L"----Hardware----", 0), 0u) << "the next press builds again";
}

INSTANTIATE_TEST_SUITE_P(Buttons, ButtonsEndToEnd, ::testing::Values(2, 3, 4),
                         [](const auto& row) { return std::to_string(row.param); });

// The keys every window answers, sent as the keyboard sends them to the focused control.
class KeyboardEndToEnd : public ButtonsEndToEnd {
protected:
    void press_to_show()
    {
        program.post_tray(WM_LBUTTONDOWN);
        ASSERT_TRUE(program.wait_for_report_window());
    }

    bool tab_to(int number)
    {
        program.post_key(VK_TAB);
        return testing::wait_until([&] { return program.focused_window() == program.control(number); });
    }

    // Tabs on until the control has the focus: the cycle has four stops.
    bool focus(int number)
    {
        for (int step = 0; step < 5 && program.focused_window() != program.control(number); ++step) {
            program.post_key(VK_TAB);
            if (!program.wait_until_handled()) {
                return false;
            }
        }
        return program.focused_window() == program.control(number);
    }
};

TEST_F(KeyboardEndToEnd, TabCyclesThroughTheReportAndTheButtonsAndEnterOnTheReportDoesNothing)
{
    press_to_show();
    for (const int number : {1, 2, 3, 4, 1}) {
        ASSERT_TRUE(tab_to(number)) << "Tab did not reach control " << number;
    }
    program.set_editor_text(MARKER);
    program.post_key(VK_RETURN);
    ASSERT_TRUE(program.wait_until_handled());
    EXPECT_TRUE(program.window_visible()) << "Enter acts only on a button";
    EXPECT_EQ(program.editor_text(), MARKER);
}

TEST_F(KeyboardEndToEnd, EnterOrSpaceOnAFocusedButtonActs)
{
    struct Row {
        UINT key;
        int button;
    };
    for (const Row row : {Row{VK_RETURN, 2}, Row{VK_SPACE, 3}, Row{VK_RETURN, 4}, Row{VK_SPACE, 2}}) {
        SCOPED_TRACE(::testing::Message() << "key " << row.key << " on button " << row.button);
        press_to_show();
        ASSERT_TRUE(focus(row.button));
        program.post_key(row.key);
        EXPECT_TRUE(program.wait_for_report_window(false)) << "the button did not act";
        EXPECT_EQ(program.editor_text(), L"");
    }
}

TEST_F(KeyboardEndToEnd, EscapeHidesEmptiesAndMarksTheReportStaleLikeTheCloseBox)
{
    for (const int focused : {1, 3}) {
        SCOPED_TRACE(focused);
        press_to_show();
        ASSERT_TRUE(focus(focused));
        program.post_key(VK_ESCAPE);
        ASSERT_TRUE(program.wait_for_report_window(false));
        EXPECT_EQ(program.editor_text(), L"");
        EXPECT_TRUE(::IsWindow(program.main_window()));
        program.set_editor_text(MARKER);
        press_to_show();
        EXPECT_EQ(program.editor_text().rfind(L"----Hardware----", 0), 0u) << "the next press builds again";
        program.post_close();
        ASSERT_TRUE(program.wait_for_report_window(false));
    }
}

TEST_F(ButtonsEndToEnd, TicketButtonStartsTheBrowserWithTheFormUrl)
{
    program.post_tray(WM_LBUTTONDOWN);
    ASSERT_TRUE(program.wait_for_report_window());
    program.post_control_notification(2, BN_CLICKED);
    ASSERT_TRUE(program.wait_for_report_window(false));
    std::wstring command_line;
    ASSERT_TRUE(testing::wait_until([&] {
        command_line = testing::read_utf16_file(record_file());
        return !command_line.empty();
    })) << "the stand-in browser was not started";
    EXPECT_EQ(command_line.rfind(L"\"iexplore\" http://" + std::wstring(HELPDESK_SERVER) +
                                     L"/sites/new/IT/helpdesk/_layouts/15/listform.aspx?PageType=8&ListId=",
                                 0),
              0u)
        << ::testing::PrintToString(command_line);
}

TEST_F(ButtonsEndToEnd, MailButtonHandsTheReportMailToTheDesktop)
{
    program.post_tray(WM_LBUTTONDOWN);
    ASSERT_TRUE(program.wait_for_report_window());
    program.post_control_notification(4, BN_CLICKED);
    ASSERT_TRUE(program.wait_for_report_window(false));
    const std::vector<std::wstring> handed = testing::wait_for_host_record(L"xdg-email");
    ASSERT_EQ(handed.size(), 1u) << "one mail, one argument";
    const std::wstring mail = testing::percent_decode(handed.front());
    EXPECT_EQ(mail.rfind(std::wstring(L"mailto:") + SUPPORT_MAILBOX + L"?subject=", 0), 0u) << ::testing::PrintToString(mail);
    EXPECT_NE(mail.find(L"'s Computer Information&body=----Hardware----\r\nModel: "), std::wstring::npos);
    EXPECT_NE(mail.find(L"\r\nLast System Boot: "), std::wstring::npos);
}

// A company value set in the machine policy while the program runs: the button uses it at the
// next press, or shows the error box naming it and hands nothing over. After a box the same
// button, pressed again with the value taken away, hands over the built-in value exactly once,
// which proves the first press started nothing (the stand-ins add each start to their records).
struct PolicyRow {
    const char* name;
    int button;
    const wchar_t* value_name;
    DWORD type;
    std::wstring text;
    std::wstring handed_over;  // the browser's whole command line, the mailbox or the print server
    std::wstring problem;      // not empty: the box shows it
};

class PolicyEndToEnd : public ButtonsProgram, public ::testing::WithParamInterface<PolicyRow> {
protected:
    bool store(const PolicyRow& row)
    {
        if (row.type == REG_DWORD) {
            return policy_.set_number(row.value_name, 1);
        }
        return policy_.set(row.value_name, row.type, row.text.c_str(), (row.text.size() + 1) * sizeof(wchar_t));
    }

    void press(int button)
    {
        program.post_tray(WM_LBUTTONDOWN);
        ASSERT_TRUE(program.wait_for_report_window());
        program.post_control_notification(button, BN_CLICKED);
    }

    void expect_handed_over_once(int button, const std::wstring& value)
    {
        if (button == 2) {
            EXPECT_EQ(wait_for_record(), value);
        } else if (button == 4) {
            const std::vector<std::wstring> handed = testing::wait_for_host_record(L"xdg-email");
            ASSERT_EQ(handed.size(), 1u) << "one mail, one argument";
            const std::wstring mail = testing::percent_decode(handed.front());
            EXPECT_EQ(mail.rfind(L"mailto:" + value + L"?subject=", 0), 0u) << ::testing::PrintToString(mail);
        } else {
            EXPECT_EQ(wait_for_record(), L"\"\\\\" + value + L"\\printers$\"");
        }
    }

    std::wstring wait_for_record()
    {
        std::wstring command_line;
        EXPECT_TRUE(testing::wait_until([&] {
            command_line = testing::read_utf16_file(record_file());
            return !command_line.empty();
        })) << "no stand-in was started";
        return command_line;
    }

    testing::PrinterShareStandIn built_in_share_{PRINT_SERVER};
    testing::PrinterShareStandIn configured_share_{L"print2.corp.example"};

    static std::wstring built_in(int button)
    {
        if (button == 2) {
            return L"\"iexplore\" http://" + std::wstring(HELPDESK_SERVER) +
                   L"/sites/new/IT/helpdesk/_layouts/15/listform.aspx?PageType=8&ListId="
                   L"%7B183753DB%2D97BF%2D41C2%2D9E3B%2DCB36C889000C%7D&RootFolder=";
        }
        return button == 4 ? SUPPORT_MAILBOX : PRINT_SERVER;
    }
};

TEST_P(PolicyEndToEnd, UsesTheValueOrShowsWhatIsWrong)
{
    const PolicyRow& row = GetParam();
    ASSERT_TRUE(built_in_share_.placed() && configured_share_.placed());
    ASSERT_TRUE(store(row));
    press(row.button);
    if (row.problem.empty()) {
        ASSERT_TRUE(program.wait_for_report_window(false));
        EXPECT_TRUE(program.dialogs().empty());
        expect_handed_over_once(row.button, row.handed_over);
        return;
    }
    testing::DialogView dialog;
    ASSERT_TRUE(program.wait_for_dialog(dialog)) << "no error box";
    EXPECT_EQ(dialog.title, L"Tovalen");
    EXPECT_TRUE(dialog.has_icon);
    const std::wstring named = std::wstring(L"The value ") + row.value_name + L" of the key HKEY_LOCAL_MACHINE\\" +
                               POLICY_KEY + L" is not used: " + row.problem + L".";
    EXPECT_EQ(dialog.text.rfind(named, 0), 0u) << ::testing::PrintToString(dialog.text);
    testing::ProgramUnderTest::press_ok(dialog);
    ASSERT_TRUE(testing::wait_until([&] { return !::IsWindow(dialog.window); })) << "the box did not close";
    ASSERT_TRUE(program.wait_for_report_window(false)) << "the window stays shown";

    ASSERT_TRUE(policy_.remove(row.value_name));
    program.post_control_notification(row.button, BN_CLICKED);
    expect_handed_over_once(row.button, built_in(row.button));
    EXPECT_TRUE(program.dialogs().empty());
}

const std::wstring FORM_URL = L"https://tickets.corp.example/it/new?list=%7B7%7D&from=tovalen";

INSTANTIATE_TEST_SUITE_P(
    Values, PolicyEndToEnd,
    ::testing::Values(
        PolicyRow{"form_url", 2, POLICY_TICKET_FORM_URL, REG_SZ, FORM_URL, L"\"iexplore\" " + FORM_URL, L""},
        PolicyRow{"helpdesk_server", 2, POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk2.corp.example:8080",
                  L"\"iexplore\" http://helpdesk2.corp.example:8080/sites/new/IT/helpdesk/_layouts/15/listform.aspx"
                  L"?PageType=8&ListId=%7B183753DB%2D97BF%2D41C2%2D9E3B%2DCB36C889000C%7D&RootFolder=",
                  L""},
        PolicyRow{"print_server", 3, POLICY_PRINT_SERVER, REG_SZ, L"print2.corp.example", L"print2.corp.example", L""},
        PolicyRow{"mailbox", 4, POLICY_SUPPORT_MAILBOX, REG_SZ, L"service-desk@corp.example",
                  L"service-desk@corp.example", L""},
        PolicyRow{"form_url_without_host", 2, POLICY_TICKET_FORM_URL, REG_SZ, L"https:///it/new", L"",
                  L"it names no host"},
        PolicyRow{"helpdesk_server_with_a_blank", 2, POLICY_HELPDESK_SERVER, REG_SZ, L"helpdesk 2", L"",
                  L"it contains a blank"},
        PolicyRow{"print_server_as_a_share", 3, POLICY_PRINT_SERVER, REG_SZ, L"\\\\print2", L"",
                  L"it contains \"\\\", which is not a letter A-Z, a digit, a hyphen or a dot"},
        PolicyRow{"print_server_as_lines", 3, POLICY_PRINT_SERVER, REG_MULTI_SZ, L"print2", L"",
                  L"it is stored as REG_MULTI_SZ, not as a REG_SZ string"},
        PolicyRow{"mailbox_with_two_ats", 4, POLICY_SUPPORT_MAILBOX, REG_SZ, L"it@corp@example", L"",
                  L"it has more than one \"@\""},
        PolicyRow{"mailbox_as_a_number", 4, POLICY_SUPPORT_MAILBOX, REG_DWORD, L"", L"",
                  L"it is stored as REG_DWORD, not as a REG_SZ string"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tovalen

namespace tovalen {
namespace {

// The running program with the management service's provider turned off for real (the test
// runs with wbemprox disabled in WINEDLLOVERRIDES, which the program inherits): one build shows the serial
// box, then the memory box, each closed through its real dialog window, and the report is shown
// afterwards.
TEST(ServiceUnavailableEndToEnd, BothErrorBoxesInOrderThenTheReport)
{
    testing::ProgramUnderTest program(testing::tovalen_program_path());
    ASSERT_TRUE(program.started());
    ASSERT_NE(program.main_window(), nullptr);
    ASSERT_TRUE(program.wait_until_handled());
    program.post_tray(WM_LBUTTONDOWN);

    const wchar_t* expected_texts[] = {
        L"Error retrieving serial.\r\nMake sure you are running as an Administrator.",
        L"Error retrieving memory size.\r\nMake sure you are running as an Administrator.",
    };
    for (const wchar_t* expected : expected_texts) {
        testing::DialogView dialog;
        ASSERT_TRUE(program.wait_for_dialog(dialog)) << "no box for: " << ::testing::PrintToString(std::wstring(expected));
        EXPECT_EQ(dialog.title, L"Error");
        EXPECT_EQ(dialog.text, expected);
        EXPECT_TRUE(dialog.has_icon);
        testing::ProgramUnderTest::press_ok(dialog);
        ASSERT_TRUE(testing::wait_until([&] { return !::IsWindow(dialog.window); })) << "the box did not close";
    }
    ASSERT_TRUE(program.wait_for_report_window());
    const std::wstring text = program.editor_text();
    EXPECT_EQ(text.rfind(L"----Hardware----", 0), 0u);
    EXPECT_NE(text.find(L"\r\nSerial#: \r\n"), std::wstring::npos);
    EXPECT_TRUE(program.dialogs().empty());
}

}  // namespace
}  // namespace tovalen
