// The running program, driven from outside through the same window messages the tray and the
// user send it.
#include "company_network.h"
#include "support/build_paths.h"
#include "support/host_stand_ins.h"
#include "support/program_under_test.h"

#include <gtest/gtest.h>

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

TEST_F(ShellEndToEnd, WindowHasItsTitleControlsAndPlaces)
{
    EXPECT_EQ(testing::window_text(program.main_window()), L"Tovalen");
    struct Place {
        int number;
        int x, y, w, h;
    };
    for (const Place p : {Place{1, 1, 1, 298, 480}, Place{2, 20, 482, 80, 35}, Place{3, 110, 482, 80, 35},
                          Place{4, 200, 482, 80, 35}}) {
        SCOPED_TRACE(p.number);
        HWND control = program.control(p.number);
        ASSERT_NE(control, nullptr);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, program.main_window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, p.x);
        EXPECT_EQ(r.top, p.y);
        EXPECT_EQ(r.right - r.left, p.w);
        EXPECT_EQ(r.bottom - r.top, p.h);
    }
    HWND button = program.control(2);
    EXPECT_NE(::SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0), 0) << "the button shows its picture";
}

}  // namespace
}  // namespace tovalen

namespace tovalen {
namespace {

// The buttons, with the browser stand-in in the program's current directory so that the ticket
// button starts it instead of a real browser.
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
        ASSERT_TRUE(program.started());
        ASSERT_NE(program.main_window(), nullptr);
        ASSERT_TRUE(program.wait_until_handled());
    }

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
    const std::wstring mail = testing::percent_decoded(handed.front());
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
