// The running program, driven from outside through the same window messages the tray and the
// user send it.
#include "company_network.h"
#include "support/build_paths.h"
#include "support/host_stand_ins.h"
#include "support/program_under_test.h"
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
class ButtonsEndToEnd : public ::testing::TestWithParam<int> {
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
        ::DeleteFileW(record_file().c_str());
        testing::clear_host_records();
        ASSERT_TRUE(browser_.replace_with(testing::build_file(L"stand-ins/browser/iexplore.exe")));
        ASSERT_TRUE(program.started());
        ASSERT_NE(program.main_window(), nullptr);
        ASSERT_TRUE(program.wait_until_handled());
    }

    void TearDown() override { EXPECT_TRUE(browser_.restore()); }

    testing::SystemProgram browser_{L"iexplore.exe"};
    testing::ProgramUnderTest program{testing::tovalen_program_path(), options()};
};

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
    EXPECT_EQ(command_line.rfind(L"\"iexplore\" http://", 0), 0u) << ::testing::PrintToString(command_line);
    EXPECT_NE(command_line.find(L"/sites/new/IT/helpdesk/_layouts/15/listform.aspx?PageType=8&ListId="),
              std::wstring::npos);
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
