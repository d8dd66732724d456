#include "platform/tray_requests.h"

namespace tovalen::platform {

TrayRequest tray_request(unsigned notification, unsigned previous_notification)
{
    // Version 4 follows a click's release with a selection and a right click's release with a
    // context menu; the first version sends the releases alone. The release acts, and what follows
    // it asks nothing more. Without a release before them, the selection and the context menu come
    // from the keyboard (Enter or Space, the context-menu key or Shift+F10) or from another start
    // of the program.
    switch (notification) {
    case TRAY_LEFT_BUTTON_UP:
        return {TrayAction::show_report, false};
    case TRAY_SELECT:
        return previous_notification == TRAY_LEFT_BUTTON_UP ? TrayRequest{} : TrayRequest{TrayAction::show_report, false};
    case TRAY_KEY_SELECT:
        return {TrayAction::show_report, true};
    case TRAY_RIGHT_BUTTON_UP:
        return {TrayAction::open_menu, false};
    case TRAY_CONTEXT_MENU:
        return previous_notification == TRAY_RIGHT_BUTTON_UP ? TrayRequest{} : TrayRequest{TrayAction::open_menu, true};
    default:
        return {};
    }
}

}  // namespace tovalen::platform
