// What the notifications of a tray icon ask of the program. A click or a right click on the icon
// sends more than one notification, and the shell of another version fewer: each is read beside
// the one that came before it, so that one act of the user asks once. Free of Windows headers.
#pragma once

namespace tovalen::platform {

// The notifications that ask for something, by their numbers in the system's headers (the tray
// icon's binding checks them there).
inline constexpr unsigned TRAY_LEFT_BUTTON_UP = 0x0202;   // WM_LBUTTONUP
inline constexpr unsigned TRAY_RIGHT_BUTTON_UP = 0x0205;  // WM_RBUTTONUP
inline constexpr unsigned TRAY_CONTEXT_MENU = 0x007B;     // WM_CONTEXTMENU
inline constexpr unsigned TRAY_SELECT = 0x0400;           // NIN_SELECT
inline constexpr unsigned TRAY_KEY_SELECT = 0x0401;       // NIN_KEYSELECT

enum class TrayAction { none, show_report, open_menu };

struct TrayRequest {
    TrayAction action = TrayAction::none;
    bool by_keyboard = false;  // the keyboard's focus goes back to the icon when the user is done
};

TrayRequest tray_request(unsigned notification, unsigned previous_notification);

}  // namespace tovalen::platform
