#include "platform/tray_icon.h"

#include "platform/tray_requests.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace tovalen::platform {

static_assert(TRAY_LEFT_BUTTON_UP == WM_LBUTTONUP && TRAY_RIGHT_BUTTON_UP == WM_RBUTTONUP &&
              TRAY_CONTEXT_MENU == WM_CONTEXTMENU && TRAY_SELECT == NIN_SELECT && TRAY_KEY_SELECT == NIN_KEYSELECT);

namespace {

// The menu's commands; 0 is the system's "nothing chosen".
constexpr UINT MENU_SHOW_REPORT = 1;
constexpr UINT MENU_COPY_REPORT = 2;

NOTIFYICONDATAW notify_data(HWND owner, int number)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = static_cast<UINT>(number);
    return data;
}

void give_focus_to(HWND owner, int number)
{
    NOTIFYICONDATAW data = notify_data(owner, number);
    ::Shell_NotifyIconW(NIM_SETFOCUS, &data);
}

UniqueMenu report_menu()
{
    UniqueMenu menu(::CreatePopupMenu());
    if (menu && ::AppendMenuW(menu.get(), MF_STRING, MENU_SHOW_REPORT, L"Show report") &&
        ::AppendMenuW(menu.get(), MF_STRING, MENU_COPY_REPORT, L"Copy report")) {
        // In bold, what a click on the icon does.
        ::SetMenuDefaultItem(menu.get(), MENU_SHOW_REPORT, FALSE);
        return menu;
    }
    return UniqueMenu();
}

}  // namespace

std::wstring tray_tooltip_text(std::wstring_view text)
{
    return std::wstring(text.substr(0, std::min(text.size(), TRAY_TOOLTIP_MAX)));
}

TrayIcons::Icon* TrayIcons::find(int number)
{
    auto icon = std::find_if(icons_.begin(), icons_.end(), [number](const Icon& i) { return i.number == number; });
    return icon == icons_.end() ? nullptr : &*icon;
}

bool TrayIcons::notify_add(Icon& icon) const
{
    NOTIFYICONDATAW data = notify_data(icon.owner, icon.number);
    // Version 4 draws no tooltip of its own accord: NIF_SHOWTIP asks for the standard one.
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_SHOWTIP;
    data.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    data.hIcon = icon.icon;
    const bool added = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    data.uVersion = NOTIFYICON_VERSION_4;
    icon.version_4 = added && ::Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
    return added;
}

bool TrayIcons::notify_tooltip(const Icon& icon) const
{
    NOTIFYICONDATAW data = notify_data(icon.owner, icon.number);
    data.uFlags = NIF_TIP | NIF_SHOWTIP;
    std::copy(icon.tooltip.begin(), icon.tooltip.end(), data.szTip);
    data.szTip[icon.tooltip.size()] = L'\0';
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool TrayIcons::add(int number, HWND owner, HICON image)
{
    Icon* icon = find(number);
    if (icon == nullptr) {
        icon = &icons_.emplace_back();
        icon->number = number;
    }
    icon->owner = owner;
    icon->icon = image;
    return notify_add(*icon);
}

bool TrayIcons::set_tooltip(int number, std::wstring_view text)
{
    Icon* icon = find(number);
    if (icon == nullptr) {
        return false;
    }
    icon->tooltip = tray_tooltip_text(text);
    return notify_tooltip(*icon);
}

std::wstring TrayIcons::tooltip(int number) const
{
    auto icon = std::find_if(icons_.begin(), icons_.end(), [number](const Icon& i) { return i.number == number; });
    return icon == icons_.end() ? std::wstring() : icon->tooltip;
}

std::vector<HICON> TrayIcons::remove_all()
{
    std::vector<HICON> images;
    for (const Icon& icon : icons_) {
        NOTIFYICONDATAW data = notify_data(icon.owner, icon.number);
        ::Shell_NotifyIconW(NIM_DELETE, &data);
        images.push_back(icon.icon);
    }
    icons_.clear();
    return images;
}

void TrayIcons::add_again()
{
    // Without its icon the program is out of reach.
    for (Icon& icon : icons_) {
        if (notify_add(icon) && !icon.tooltip.empty()) {
            notify_tooltip(icon);
        }
    }
}

TrayIcons::Icon* TrayIcons::addressed(WPARAM wparam, LPARAM lparam)
{
    // Version 4 names the icon in the high word of lParam and puts the anchor in wParam; the first
    // version names it in wParam. Both put the notification in the low word of lParam.
    for (Icon& icon : icons_) {
        const auto number = icon.version_4 ? HIWORD(lparam) : wparam;
        if (number == static_cast<WPARAM>(icon.number)) {
            return &icon;
        }
    }
    return nullptr;
}

std::optional<TrayEvent> TrayIcons::on_notification(WPARAM wparam, LPARAM lparam)
{
    Icon* icon = addressed(wparam, lparam);
    if (icon == nullptr) {
        return std::nullopt;
    }
    const UINT notification = LOWORD(lparam);
    const TrayRequest request = tray_request(notification, icon->previous_notification);
    icon->previous_notification = notification;
    switch (request.action) {
    case TrayAction::show_report:
        icon->shown_by_keyboard = request.by_keyboard;
        return TrayEvent{icon->number, TRAY_SHOW_REPORT};
    case TrayAction::open_menu: {
        POINT anchor{GET_X_LPARAM(wparam), GET_Y_LPARAM(wparam)};
        if (!icon->version_4) {
            ::GetCursorPos(&anchor);
        }
        return show_menu(*icon, anchor, request.by_keyboard);
    }
    default:
        return std::nullopt;
    }
}

std::optional<TrayEvent> TrayIcons::show_menu(Icon& icon, POINT anchor, bool by_keyboard)
{
    const UniqueMenu menu = report_menu();
    if (!menu) {
        return std::nullopt;
    }
    const int number = icon.number;
    const HWND owner = icon.owner;
    // The menu closes when the user clicks elsewhere only if its owner is in the foreground; the
    // message after it lets the system end the menu's mode before the next one opens.
    ::SetForegroundWindow(owner);
    UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON;
    flags |= ::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const auto chosen = static_cast<UINT>(::TrackPopupMenuEx(menu.get(), flags, anchor.x, anchor.y, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
    // Notifications that came while the menu was open may have changed the icons.
    Icon* still = find(number);
    if (chosen == MENU_SHOW_REPORT) {
        if (still != nullptr) {
            still->shown_by_keyboard = by_keyboard;
        }
        return TrayEvent{number, TRAY_SHOW_REPORT};
    }
    if (by_keyboard) {
        give_focus_to(owner, number);
    }
    return chosen == MENU_COPY_REPORT ? std::optional<TrayEvent>(TrayEvent{number, TRAY_COPY_REPORT}) : std::nullopt;
}

void TrayIcons::window_closed(int number)
{
    Icon* icon = find(number);
    if (icon != nullptr && icon->shown_by_keyboard) {
        icon->shown_by_keyboard = false;
        give_focus_to(icon->owner, icon->number);
    }
}

}  // namespace tovalen::platform
