// The program's icons in the notification area: added and kept at notification version 4, shown
// again when the taskbar is made anew, their notifications read into events, their menu, and the
// keyboard's focus given back to them. The window layer owns them and delivers their events.
#pragma once

#include "platform/handles.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovalen::platform {

inline constexpr UINT TRAY_CALLBACK_MESSAGE = 12501;

// The types of the events of a tray icon: the report asked for by a click, Enter or Space on the
// icon, or the menu's "Show report"; the report's text asked for by the menu's "Copy report".
inline constexpr int TRAY_SHOW_REPORT = 0;
inline constexpr int TRAY_COPY_REPORT = 1;

inline constexpr std::size_t TRAY_TOOLTIP_MAX = 63;

// The text that the tray shows as the icon's tooltip: at most its first 63 characters.
std::wstring tray_tooltip_text(std::wstring_view text);

struct TrayEvent {
    int number = 0;
    int type = 0;
};

class TrayIcons {
public:
    TrayIcons() = default;
    TrayIcons(const TrayIcons&) = delete;
    TrayIcons& operator=(const TrayIcons&) = delete;
    ~TrayIcons() { remove_all(); }

    bool add(int number, HWND owner, HICON image);
    bool set_tooltip(int number, std::wstring_view text);
    // The text last handed to the tray for an icon's tooltip.
    std::wstring tooltip(int number) const;
    // NIM_DELETE for every icon; their icon handles, which the caller owns, are handed back.
    std::vector<HICON> remove_all();
    // Explorer started again and forgot every icon.
    void add_again();

    // A TRAY_CALLBACK_MESSAGE: the event it asks for, if any, after the icon's menu when it asks
    // for that.
    std::optional<TrayEvent> on_notification(WPARAM wparam, LPARAM lparam);
    // The window the icon showed is closed: a user who came by the keyboard is handed back to the
    // icon, where the notification area's keys go on.
    void window_closed(int number);

private:
    struct Icon {
        int number = 0;
        HWND owner = nullptr;
        HICON icon = nullptr;
        std::wstring tooltip;
        bool version_4 = false;  // false: the shell refused it, and speaks the first version
        UINT previous_notification = 0;
        bool shown_by_keyboard = false;
    };

    Icon* find(int number);
    Icon* addressed(WPARAM wparam, LPARAM lparam);
    bool notify_add(Icon& icon) const;
    bool notify_tooltip(const Icon& icon) const;
    std::optional<TrayEvent> show_menu(Icon& icon, POINT anchor, bool by_keyboard);

    std::vector<Icon> icons_;
};

}  // namespace tovalen::platform
