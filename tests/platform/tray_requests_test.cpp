#include "platform/tray_requests.h"

#include <gtest/gtest.h>

namespace tovalen::platform {
namespace {

// The neighbours of the notifications that ask for something are the messages beside them in the
// system's headers: a mouse move and a left press before the left release, a double-click after
// it; the right-button messages likewise; the balloon's notification after the key selection.
TEST(TrayRequest, EachActOfTheUserAsksOnce)
{
    constexpr TrayRequest NOTHING{};
    constexpr TrayRequest SHOW{TrayAction::show_report, false};
    constexpr TrayRequest SHOW_BY_KEYBOARD{TrayAction::show_report, true};
    constexpr TrayRequest MENU{TrayAction::open_menu, false};
    constexpr TrayRequest MENU_BY_KEYBOARD{TrayAction::open_menu, true};
    struct Row {
        unsigned notification, previous;
        TrayRequest request;
    };
    const Row rows[] = {
        {TRAY_LEFT_BUTTON_UP, 0, SHOW},
        {TRAY_SELECT, TRAY_LEFT_BUTTON_UP, NOTHING},  // the click's own
        {TRAY_SELECT, TRAY_LEFT_BUTTON_UP - 1, SHOW},
        {TRAY_SELECT, TRAY_LEFT_BUTTON_UP + 1, SHOW},
        {TRAY_SELECT, 0, SHOW},  // another start of the program
        {TRAY_KEY_SELECT, 0, SHOW_BY_KEYBOARD},
        {TRAY_RIGHT_BUTTON_UP, 0, MENU},
        {TRAY_CONTEXT_MENU, TRAY_RIGHT_BUTTON_UP, NOTHING},  // the right click's own
        {TRAY_CONTEXT_MENU, TRAY_RIGHT_BUTTON_UP - 1, MENU_BY_KEYBOARD},
        {TRAY_CONTEXT_MENU, TRAY_RIGHT_BUTTON_UP + 1, MENU_BY_KEYBOARD},
        {TRAY_CONTEXT_MENU, 0, MENU_BY_KEYBOARD},
        {TRAY_LEFT_BUTTON_UP - 2, 0, NOTHING},
        {TRAY_LEFT_BUTTON_UP - 1, 0, NOTHING},
        {TRAY_LEFT_BUTTON_UP + 1, TRAY_LEFT_BUTTON_UP, NOTHING},
        {TRAY_RIGHT_BUTTON_UP - 1, 0, NOTHING},
        {TRAY_RIGHT_BUTTON_UP + 1, TRAY_RIGHT_BUTTON_UP, NOTHING},
        {TRAY_CONTEXT_MENU - 1, 0, NOTHING},
        {TRAY_CONTEXT_MENU + 1, 0, NOTHING},
        {TRAY_SELECT - 1, 0, NOTHING},
        {TRAY_KEY_SELECT + 1, 0, NOTHING},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << std::hex << row.notification << " after " << row.previous);
        const TrayRequest request = tray_request(row.notification, row.previous);
        EXPECT_EQ(request.action, row.request.action);
        EXPECT_EQ(request.by_keyboard, row.request.by_keyboard);
    }
}

}  // namespace
}  // namespace tovalen::platform
