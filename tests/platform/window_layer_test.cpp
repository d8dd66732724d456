#include "platform/window_layer.h"

#include "platform/display_dpi.h"
#include "platform/system_calls.h"
#include "platform/system_folder.h"
#include "support/program_under_test.h"
#include "support/report_window_layouts.h"
#include "support/scoped_state.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace tovalen::platform {
namespace {

constexpr int WINDOW = 0;
constexpr int EDITOR = 1;
constexpr int BUTTON = 2;
constexpr int ICON = 5;
constexpr int IMAGE = 5;

// An icon file with one square 32-bit image per side given: opaque gold and blue in a
// checkerboard, so that a scaled copy shows whether each pixel was repeated or blended with its
// neighbours.
std::vector<std::uint8_t> checkerboard_icon_file(std::initializer_list<int> sides)
{
    std::vector<std::uint8_t> file(6 + 16 * sides.size(), 0);
    file[2] = 1;
    file[4] = static_cast<std::uint8_t>(sides.size());
    std::size_t entry = 6;
    for (const int side : sides) {
        const auto n = static_cast<std::size_t>(side);
        const std::size_t colour_bytes = n * n * 4;
        const std::size_t mask_bytes = (n + 31) / 32 * 4 * n;
        const std::size_t image_bytes = 40 + colour_bytes + mask_bytes;
        const std::size_t offset = file.size();
        file[entry] = static_cast<std::uint8_t>(n);
        file[entry + 1] = static_cast<std::uint8_t>(n);
        file[entry + 4] = 1;
        file[entry + 6] = 32;
        file[entry + 8] = static_cast<std::uint8_t>(image_bytes);
        file[entry + 9] = static_cast<std::uint8_t>(image_bytes >> 8);
        file[entry + 12] = static_cast<std::uint8_t>(offset);
        file[entry + 13] = static_cast<std::uint8_t>(offset >> 8);
        entry += 16;
        file.resize(offset + image_bytes, 0);
        std::uint8_t* header = file.data() + offset;
        header[0] = 40;
        header[4] = static_cast<std::uint8_t>(n);
        header[8] = static_cast<std::uint8_t>(n * 2);
        header[12] = 1;
        header[14] = 32;
        for (std::size_t i = 0; i < colour_bytes; i += 4) {
            const std::size_t pixel = i / 4;
            const bool gold = (pixel % n + pixel / n) % 2 == 0;
            header[40 + i] = gold ? 0x20 : 0xE0;
            header[40 + i + 1] = gold ? 0xC0 : 0x40;
            header[40 + i + 2] = gold ? 0xF0 : 0x10;
            header[40 + i + 3] = 0xFF;
        }
    }
    return file;
}

std::vector<std::uint8_t> small_icon_file() { return checkerboard_icon_file({16}); }

RECT rect_of(const testing::PixelBox& box) { return {box.left, box.top, box.left + box.width, box.top + box.height}; }

std::string text_of(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " - " + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

bool tray_knows_icon(HWND owner, int number)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = static_cast<UINT>(number);
    data.uFlags = NIF_TIP;
    wcscpy(data.szTip, L"probe");
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

class WindowLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(layer.initialise());
        window = layer.open_window(WINDOW, 0, 0, 300, 520, L"Tovalen test",
                                   WindowStyle{.invisible = true, .centred = true, .caption_and_system_menu = true});
        ASSERT_NE(window, nullptr);
    }

    // The icon in the tray, as the program adds it; the layer removes it at its end.
    void add_icon()
    {
        const auto file = small_icon_file();
        ASSERT_TRUE(layer.add_tray_icon(ICON, window, layer.decode_image(IMAGE, file, 16, 16)));
    }

    // A notification as the tray sends it at version 4, the anchor in wParam.
    void post_tray(UINT notification, int icon = ICON)
    {
        ::PostMessageW(window, TRAY_CALLBACK_MESSAGE, MAKEWPARAM(40, 30), MAKELPARAM(notification, icon));
    }

    // Events already posted or sent, without blocking when none is there.
    Event next_event()
    {
        Event e;
        e.code = layer.poll_event();
        e.object = layer.event_object();
        e.type = layer.event_type();
        return e;
    }

    WindowLayer layer;
    HWND window = nullptr;
};

TEST(TrayTooltip, KeepsAtMostSixtyThreeCharacters)
{
    struct Row {
        std::size_t length;
        std::size_t kept;
    };
    for (const Row row : {Row{0, 0}, Row{1, 1}, Row{62, 62}, Row{63, 63}, Row{64, 63}, Row{127, 63}, Row{500, 63}}) {
        SCOPED_TRACE(row.length);
        std::wstring text;
        for (std::size_t i = 0; i < row.length; ++i) {
            text += static_cast<wchar_t>(L'a' + i % 26);
        }
        EXPECT_EQ(tray_tooltip_text(text), text.substr(0, row.kept));
    }
    EXPECT_EQ(tray_tooltip_text(L"Tovalen\r\nClick to view"), L"Tovalen\r\nClick to view");
}

// At version 4 the notification comes in the low word of lParam, the icon's number in the high word.
TEST_F(WindowLayerTest, TrayNotificationsBecomeTrayEventsWithTheIconNumber)
{
    add_icon();
    for (const UINT notification : {UINT{WM_LBUTTONUP}, UINT{NIN_KEYSELECT}}) {
        SCOPED_TRACE(notification);
        post_tray(notification);
        EXPECT_EQ(layer.wait_event(), EVENT_TRAY);
        EXPECT_EQ(layer.event_object(), ICON);
        EXPECT_EQ(layer.event_type(), TRAY_SHOW_REPORT);
    }
    post_tray(WM_LBUTTONUP, ICON + 1);
    post_tray(WM_LBUTTONUP, ICON - 1);
    EXPECT_EQ(next_event().code, NO_EVENT) << "no such icon";
}

TEST_F(WindowLayerTest, OtherNotificationsOfTheIconRaiseNoEventAndAClickOnlyOne)
{
    add_icon();
    for (const UINT notification : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_RBUTTONDOWN}) {
        post_tray(notification);
    }
    EXPECT_EQ(next_event().code, EVENT_TRAY);
    EXPECT_EQ(next_event().code, NO_EVENT);
}

TEST_F(WindowLayerTest, CloseRequestBecomesCloseEventAndLeavesTheWindow)
{
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(layer.wait_event(), EVENT_CLOSE);
    EXPECT_TRUE(::IsWindow(window));
}

TEST_F(WindowLayerTest, ControlNotificationsCarryTheControlNumberAndCode)
{
    HWND button = layer.create_image_button(BUTTON, 20, 482, 80, 35, nullptr);
    ASSERT_NE(button, nullptr);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    const Event click = next_event();
    EXPECT_EQ(click.code, EVENT_CONTROL);
    EXPECT_EQ(click.object, BUTTON);
    EXPECT_EQ(click.type, BN_CLICKED);
}

TEST_F(WindowLayerTest, EventFromAMessageSentByAnotherThreadIsNotHeldBack)
{
    // The tray may send its notification rather than post it; nothing else arrives after it.
    // Only the watchdog's message, after a minute, would free a wait that held the event back,
    // so the event must come before the watchdog fires, however slow the machine.
    platform::UniqueKernelHandle event_arrived(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> watchdog_fired{false};
    add_icon();
    std::thread tray([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the wait has most likely begun
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(window, TRAY_CALLBACK_MESSAGE, 0, MAKELPARAM(WM_LBUTTONUP, ICON), SMTO_NORMAL, 60000,
                              &ignored);
    });
    std::thread watchdog([this, &event_arrived, &watchdog_fired] {
        if (::WaitForSingleObject(event_arrived.get(), 60000) == WAIT_TIMEOUT) {
            watchdog_fired = true;
            ::PostMessageW(window, WM_NULL, 0, 0);
        }
    });
    EXPECT_EQ(layer.wait_event(), EVENT_TRAY);
    EXPECT_FALSE(watchdog_fired) << "the event was held back until another message came";
    ::SetEvent(event_arrived.get());
    tray.join();
    watchdog.join();
    while (next_event().code != NO_EVENT) {
    }
}

TEST_F(WindowLayerTest, ShowHideAndTopmostChangeTheRealWindow)
{
    HWND editor = layer.create_rich_edit(EDITOR, 1, 1, 298, 480, true);
    HWND button = layer.create_image_button(BUTTON, 20, 482, 80, 35, nullptr);
    ASSERT_TRUE(editor != nullptr && button != nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    layer.show_window(WINDOW, false);
    EXPECT_TRUE(::IsWindowVisible(window));
    layer.set_topmost(WINDOW, true);
    EXPECT_NE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    ::SetFocus(button);
    ASSERT_EQ(::GetFocus(), button);
    layer.show_window(WINDOW, true);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_NE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "hiding keeps it topmost";
    layer.show_window(WINDOW, false);
    EXPECT_EQ(::GetFocus(), button) << "shown again, the control that had the focus has it back";
}

TEST_F(WindowLayerTest, WindowHasTheAskedClientSizeAndStyle)
{
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 520);
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
}

TEST_F(WindowLayerTest, RichEditIsReadOnlyAndTakesWholeText)
{
    HWND editor = layer.create_rich_edit(EDITOR, 1, 1, 298, 480, true);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(layer.window_handle(EDITOR), editor);
    EXPECT_EQ(layer.rich_edit_class(), L"RichEdit20W");
    EXPECT_NE(::GetWindowLongPtrW(editor, GWL_STYLE) & ES_READONLY, 0);
    const std::wstring long_text(100000, L'x');
    layer.set_control_text(EDITOR, long_text);
    EXPECT_EQ(::GetWindowTextLengthW(editor), 100000) << "the length limit is removed";
    layer.set_control_text(EDITOR, L"");
    EXPECT_EQ(::GetWindowTextLengthW(editor), 0);
}

TEST(SmallIconSize, FollowsTheDpi)
{
    struct Row {
        int dpi, side;
    };
    for (const Row row : {Row{96, 16}, Row{120, 20}, Row{144, 24}, Row{192, 32}}) {
        SCOPED_TRACE(row.dpi);
        EXPECT_EQ(small_icon_size(row.dpi), row.side);
    }
}

TEST_F(WindowLayerTest, AnotherDpiLaysTheWindowOutAgainWhereTheSystemSuggestsWithThePictureDrawnForIt)
{
    ASSERT_EQ(layer.dpi(), 96) << "the test runs at the system's 96 DPI";
    const auto design = small_icon_file();
    const auto larger = checkerboard_icon_file({32, 24});
    HWND editor = layer.create_rich_edit(EDITOR, 1, 1, 298, 480, true);
    HWND button = layer.create_image_button(BUTTON, 20, 482, 80, 35, layer.decode_picture(IMAGE, design, larger),
                                            L"Create Ticket");
    ASSERT_TRUE(editor != nullptr && button != nullptr);
    const auto font_height = [editor] {
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        ::SendMessageW(editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
        return format.yHeight;
    };
    const LONG font_at_96 = font_height();
    ASSERT_GT(font_at_96, 0);

    struct Row {
        int dpi;
        int suggested_room;  // client height the suggested rectangle holds
        int picture_side;    // of the picture drawn 16, 24 and 32 pixels square
    };
    const Row rows[] = {
        {120, 5000, 16},
        // The system suggests less height than the window would take: it takes that height.
        {144, 600, 24},
        {192, 5000, 32},
        {96, 5000, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dpi);
        const auto& expected = testing::report_window_layout(row.dpi);
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
        const RECT frame_at_dpi = window_rect_for_client(RECT{0, 0, 0, 0}, style, 0, row.dpi);
        const int frame_width = frame_at_dpi.right - frame_at_dpi.left;
        const int frame_height = frame_at_dpi.bottom - frame_at_dpi.top;
        RECT suggested{10, 20, 10 + frame_width + expected.client_width, 20 + frame_height + row.suggested_room};
        ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(row.dpi, row.dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(layer.dpi(), row.dpi);

        RECT client{};
        RECT frame{};
        ::GetClientRect(window, &client);
        ::GetWindowRect(window, &frame);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT work = monitor.rcWork;
        const int room = std::min(row.suggested_room, static_cast<int>(work.bottom - work.top) - frame_height);
        const int shortage = std::max(0, expected.client_height - room);
        EXPECT_EQ(client.right, expected.client_width);
        EXPECT_EQ(client.bottom, expected.client_height - shortage) << "as tall as the suggestion and the screen allow";
        EXPECT_EQ(frame.left, suggested.left) << "placed where the system suggests";
        EXPECT_TRUE(frame.top >= work.top && frame.bottom <= work.bottom);
        if (suggested.bottom <= work.bottom) {
            EXPECT_EQ(frame.top, suggested.top) << "a suggestion on the work area is taken as it is";
        }

        RECT expected_editor = rect_of(expected.controls[0]);
        expected_editor.bottom -= shortage;
        RECT expected_button = rect_of(expected.controls[1]);
        ::OffsetRect(&expected_button, 0, -shortage);
        const RECT editor_place = testing::place_in(editor, window);
        const RECT button_place = testing::place_in(button, window);
        EXPECT_EQ(text_of(editor_place), text_of(expected_editor));
        EXPECT_EQ(text_of(button_place), text_of(expected_button)) << "the button keeps its height below the report";
        EXPECT_EQ(font_height(), ::MulDiv(font_at_96, row.dpi, 96)) << "the report's font";

        const auto shown = testing::icon_pixels(
            reinterpret_cast<HICON>(::SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0)), testing::IconPart::colour);
        ASSERT_EQ(shown.width, row.picture_side);
        ASSERT_EQ(shown.height, row.picture_side);
        int stretched = 0;
        for (int y = 0; y < shown.height; ++y) {
            for (int x = 0; x + 1 < shown.width; ++x) {
                stretched += shown.at(x, y) == shown.at(x + 1, y);
            }
        }
        EXPECT_EQ(stretched, 0) << "the picture is not shown at the size it was drawn";
    }
}

TEST_F(WindowLayerTest, ImageButtonsCarryTheirNamesAsTextAndTooltip)
{
    const wchar_t* names[] = {L"Create Ticket", L"Install Printer", L"Send To IT"};
    HWND buttons[3] = {};
    for (int i = 0; i < 3; ++i) {
        buttons[i] = layer.create_image_button(BUTTON + i, 20 + 90 * i, 482, 80, 35, nullptr, names[i]);
        ASSERT_NE(buttons[i], nullptr);
        wchar_t text[64] = {};
        ::GetWindowTextW(buttons[i], text, 64);
        EXPECT_STREQ(text, names[i]);
    }
    HWND tooltip = nullptr;
    for (HWND candidate = ::FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); candidate != nullptr;
         candidate = ::FindWindowExW(nullptr, candidate, TOOLTIPS_CLASSW, nullptr)) {
        if (::GetWindow(candidate, GW_OWNER) == window) {
            tooltip = candidate;
        }
    }
    ASSERT_NE(tooltip, nullptr);
    ASSERT_EQ(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        wchar_t text[80] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.lpszText = text;
        ASSERT_TRUE(::SendMessageW(tooltip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool)));
        EXPECT_EQ(tool.uId, reinterpret_cast<UINT_PTR>(buttons[i]));
        EXPECT_EQ(tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS));
        EXPECT_STREQ(text, names[i]);
    }
}

bool high_contrast = false;

BOOL WINAPI high_contrast_setting(UINT action, UINT size, PVOID value, UINT flags)
{
    if (action != SPI_GETHIGHCONTRAST) {
        return real_system_calls().system_parameters_info(action, size, value, flags);
    }
    static_cast<HIGHCONTRASTW*>(value)->dwFlags = high_contrast ? HCF_HIGHCONTRASTON : 0;
    return TRUE;
}

// Wine's high contrast is always off: the stand-in turns it on and off, and each message by which
// the system tells of a change brings the buttons along; a window opened in it starts so.
TEST_F(WindowLayerTest, InHighContrastTheButtonsShowTheirNamesInsteadOfTheirPictures)
{
    const testing::SavedValue saved(system_calls().system_parameters_info);
    system_calls().system_parameters_info = high_contrast_setting;
    const auto design = small_icon_file();
    const HICON picture = layer.decode_picture(IMAGE, design);
    HWND button = layer.create_image_button(BUTTON, 20, 482, 80, 35, picture, L"Create Ticket");
    const auto shown = [](HWND b) { return reinterpret_cast<HICON>(::SendMessageW(b, BM_GETIMAGE, IMAGE_ICON, 0)); };
    const auto icon_style = [](HWND b) { return ::GetWindowLongPtrW(b, GWL_STYLE) & BS_ICON; };
    for (const UINT change : {WM_SYSCOLORCHANGE, WM_THEMECHANGED, WM_SETTINGCHANGE}) {
        SCOPED_TRACE(change);
        ASSERT_EQ(shown(button), picture);
        ASSERT_NE(icon_style(button), 0);
        high_contrast = true;
        ::SendMessageW(window, change, 0, 0);
        EXPECT_EQ(shown(button), nullptr);
        EXPECT_EQ(icon_style(button), 0);
        EXPECT_NE(::SendMessageW(button, WM_GETFONT, 0, 0), 0) << "the name is drawn in the system's font";
        high_contrast = false;
        ::SendMessageW(window, change, 0, 0);
    }
    high_contrast = true;
    WindowLayer other;
    other.open_window(WINDOW, 0, 0, 300, 520, L"high contrast", WindowStyle{.invisible = true});
    HWND named = other.create_image_button(BUTTON, 20, 482, 80, 35, other.decode_picture(IMAGE, design), L"Ticket");
    high_contrast = false;
    EXPECT_EQ(shown(named), nullptr);
    EXPECT_EQ(icon_style(named), 0);
}

TEST(RichEditFallback, UsesTheOlderLibraryWhenTheNewOneIsMissing)
{
    const RichEditSource sources[] = {{L"NO_SUCH_RICHEDIT_LIBRARY.DLL", L"RichEdit20W"},
                                      {L"RICHED32.DLL", L"RichEdit"}};
    WindowLayer layer(sources);
    ASSERT_TRUE(layer.initialise());
    layer.open_window(WINDOW, 0, 0, 300, 520, L"fallback", WindowStyle{.invisible = true});
    HWND editor = layer.create_rich_edit(EDITOR, 1, 1, 298, 480, true);
    ASSERT_NE(editor, nullptr);
    wchar_t class_name[64] = {};
    ::GetClassNameW(editor, class_name, 64);
    EXPECT_EQ(_wcsicmp(class_name, L"RichEdit"), 0) << "class " << class_name;
}

TEST(RichEditFallback, NoLibraryAtAllGivesNoEditorAndNoCrash)
{
    const RichEditSource sources[] = {{L"NO_SUCH_RICHEDIT_LIBRARY.DLL", L"RichEdit20W"}};
    WindowLayer layer(sources);
    ASSERT_TRUE(layer.initialise());
    layer.open_window(WINDOW, 0, 0, 300, 520, L"no editor", WindowStyle{.invisible = true});
    EXPECT_EQ(layer.create_rich_edit(EDITOR, 1, 1, 298, 480, true), nullptr);
    layer.set_control_text(EDITOR, L"goes nowhere");
    EXPECT_EQ(layer.window_handle(EDITOR), nullptr);
}

TEST_F(WindowLayerTest, ImagesThatCannotBeDecodedGiveNothingAndStartUpGoesOn)
{
    const std::uint8_t garbage[] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(layer.decode_image(IMAGE, garbage), nullptr);
    EXPECT_EQ(layer.decode_image(IMAGE, {}), nullptr);
    EXPECT_NE(layer.create_image_button(BUTTON, 20, 482, 80, 35, nullptr), nullptr);
    EXPECT_FALSE(layer.set_tray_tooltip(ICON, L"no icon yet"));
}

TEST_F(WindowLayerTest, TrayIconIsShownWithItsTooltipAndRemovedAtTheEnd)
{
    const auto file = small_icon_file();
    HICON image = layer.decode_image(IMAGE, file, 16, 16);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(layer.add_tray_icon(ICON, window, image));
    EXPECT_TRUE(layer.set_tray_tooltip(ICON, std::wstring(80, L'z')));
    EXPECT_EQ(layer.tray_tooltip(ICON), std::wstring(63, L'z'));
    EXPECT_TRUE(tray_knows_icon(window, ICON));

    layer.remove_tray_icons();
    EXPECT_FALSE(tray_knows_icon(window, ICON));
    ICONINFO info{};
    EXPECT_FALSE(::GetIconInfo(image, &info)) << "the icon handle is destroyed with the tray icon";
}

TEST_F(WindowLayerTest, TaskbarRestartBringsTheIconBackWithoutAnEvent)
{
    const auto file = small_icon_file();
    HICON image = layer.decode_image(IMAGE, file, 16, 16);
    ASSERT_TRUE(layer.add_tray_icon(ICON, window, image));
    layer.set_tray_tooltip(ICON, L"Tovalen\r\nClick to view");

    // A restarted Explorer knows no icons any more.
    NOTIFYICONDATAW forgotten{};
    forgotten.cbSize = sizeof forgotten;
    forgotten.hWnd = window;
    forgotten.uID = ICON;
    ::Shell_NotifyIconW(NIM_DELETE, &forgotten);
    ASSERT_FALSE(tray_knows_icon(window, ICON));

    ::SendMessageW(window, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(tray_knows_icon(window, ICON));
    EXPECT_EQ(next_event().code, NO_EVENT);
    layer.remove_tray_icons();
}

}  // namespace
}  // namespace tovalen::platform
