#include "platform/window_layer.h"

#include "platform/ico_directory.h"
#include "platform/system_folder.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace tovalen::platform {

namespace {

constexpr wchar_t MAIN_WINDOW_CLASS[] = L"TovalenReportWindow";
constexpr int PROGRAM_ICON_RESOURCE = 1;

HINSTANCE program_instance() { return ::GetModuleHandleW(nullptr); }

NOTIFYICONDATAW notify_data(HWND owner, int number)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = static_cast<UINT>(number);
    return data;
}

RECT centred_window_rect(int client_width, int client_height, DWORD style, DWORD ex_style)
{
    RECT rect{0, 0, client_width, client_height};
    ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    const int left = work.left + ((work.right - work.left) - width) / 2;
    const int top = work.top + ((work.bottom - work.top) - height) / 2;
    return RECT{left, top, left + width, top + height};
}

}  // namespace

std::wstring tray_tooltip_text(std::wstring_view text)
{
    return std::wstring(text.substr(0, std::min(text.size(), TRAY_TOOLTIP_MAX)));
}

int tray_event_type(UINT mouse_message)
{
    switch (mouse_message) {
    case WM_LBUTTONDOWN:
        return TRAY_LEFT_PRESS;
    case WM_RBUTTONDOWN:
        return TRAY_RIGHT_PRESS;
    case WM_LBUTTONDBLCLK:
        return TRAY_LEFT_DOUBLE_CLICK;
    case WM_RBUTTONDBLCLK:
        return TRAY_RIGHT_DOUBLE_CLICK;
    default:
        return -1;
    }
}

WindowLayer::WindowLayer(std::span<const RichEditSource> rich_edit_sources)
    : rich_edit_sources_(rich_edit_sources.begin(), rich_edit_sources.end())
{
}

WindowLayer::~WindowLayer()
{
    remove_tray_icons();
    destroy_all();
}

bool WindowLayer::initialise()
{
    if (initialised_) {
        return true;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    taskbar_created_message_ = ::RegisterWindowMessageW(L"TaskbarCreated");

    const HINSTANCE instance = program_instance();
    const int big = ::GetSystemMetrics(SM_CXICON);
    const int small = ::GetSystemMetrics(SM_CXSMICON);
    window_icon_big_.reset(static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(PROGRAM_ICON_RESOURCE), IMAGE_ICON, big, big, LR_DEFAULTCOLOR)));
    window_icon_small_.reset(static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(PROGRAM_ICON_RESOURCE), IMAGE_ICON, small, small, LR_DEFAULTCOLOR)));

    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &WindowLayer::window_procedure;
    window_class.hInstance = instance;
    window_class.hIcon = window_icon_big_.get();
    window_class.hIconSm = window_icon_small_.get();
    window_class.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    window_class.lpszClassName = MAIN_WINDOW_CLASS;
    const bool registered =
        ::RegisterClassExW(&window_class) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    initialised_ = registered;
    return registered;
}

HWND WindowLayer::open_window(int number, int x, int y, int client_width, int client_height, std::wstring_view title,
                              WindowStyle style)
{
    DWORD window_style = style.caption_and_system_menu ? (WS_CAPTION | WS_SYSMENU) : WS_OVERLAPPEDWINDOW;
    if (!style.invisible) {
        window_style |= WS_VISIBLE;
    }
    const DWORD ex_style = 0;
    RECT rect{x, y, x + client_width, y + client_height};
    if (style.centred) {
        rect = centred_window_rect(client_width, client_height, window_style, ex_style);
    } else {
        ::AdjustWindowRectEx(&rect, window_style, FALSE, ex_style);
    }
    const std::wstring title_text(title);
    HWND window = ::CreateWindowExW(ex_style, MAIN_WINDOW_CLASS, title_text.c_str(), window_style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                    program_instance(), this);
    if (window != nullptr) {
        windows_[number] = window;
        top_level_windows_[number] = UniqueWindow(window);
        control_parent_ = window;
    }
    return window;
}

bool WindowLayer::load_rich_edit_library()
{
    for (const RichEditSource& source : rich_edit_sources_) {
        UniqueLibrary library(load_system_library(source.library));
        if (library) {
            rich_edit_library_ = std::move(library);
            rich_edit_class_ = source.window_class;
            return true;
        }
    }
    return false;
}

HWND WindowLayer::create_rich_edit(int number, int x, int y, int width, int height, bool read_only)
{
    if (!rich_edit_library_ && !load_rich_edit_library()) {
        return nullptr;
    }
    DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
                  ES_AUTOHSCROLL | ES_NOHIDESEL;
    if (read_only) {
        style |= ES_READONLY;
    }
    HWND editor = ::CreateWindowExW(WS_EX_CLIENTEDGE, rich_edit_class_.c_str(), L"", style, x, y, width, height,
                                    control_parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)),
                                    program_instance(), nullptr);
    if (editor == nullptr) {
        return nullptr;
    }
    ::SendMessageW(editor, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    ::SendMessageW(editor, EM_SETEVENTMASK, 0, ENM_CHANGE);
    windows_[number] = editor;
    return editor;
}

HWND WindowLayer::create_image_button(int number, int x, int y, int width, int height, HICON image)
{
    HWND button = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_ICON, x,
                                    y, width, height, control_parent_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)), program_instance(), nullptr);
    if (button == nullptr) {
        return nullptr;
    }
    if (image != nullptr) {
        ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(image));
    }
    windows_[number] = button;
    return button;
}

HWND WindowLayer::window_handle(int number) const
{
    auto found = windows_.find(number);
    return found == windows_.end() ? nullptr : found->second;
}

HICON WindowLayer::decode_image(int image_number, std::span<const std::uint8_t> ico_file, int width, int height)
{
    const auto entries = read_ico_directory(ico_file);
    if (!entries) {
        return nullptr;
    }
    const auto entry = best_ico_entry(*entries, width, height);
    if (!entry) {
        return nullptr;
    }
    // CreateIconFromResourceEx takes a non-const pointer but only reads the bits.
    auto* bits = const_cast<std::uint8_t*>(ico_file.data() + entry->offset);
    HICON icon = ::CreateIconFromResourceEx(bits, entry->bytes, TRUE, 0x00030000, entry->width, entry->height,
                                            LR_DEFAULTCOLOR);
    if (icon != nullptr) {
        images_[image_number] = UniqueIcon(icon);
    }
    return icon;
}

bool WindowLayer::notify_tray_add(const TrayIcon& icon) const
{
    NOTIFYICONDATAW data = notify_data(icon.owner, icon.number);
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    data.hIcon = icon.icon;
    return ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

bool WindowLayer::notify_tray_tooltip(const TrayIcon& icon) const
{
    NOTIFYICONDATAW data = notify_data(icon.owner, icon.number);
    data.uFlags = NIF_TIP;
    std::copy(icon.tooltip.begin(), icon.tooltip.end(), data.szTip);
    data.szTip[icon.tooltip.size()] = L'\0';
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool WindowLayer::add_tray_icon(int number, HWND owner, HICON image)
{
    auto existing = std::find_if(tray_icons_.begin(), tray_icons_.end(),
                                 [number](const TrayIcon& icon) { return icon.number == number; });
    if (existing == tray_icons_.end()) {
        tray_icons_.push_back(TrayIcon{number, owner, image, {}});
        existing = std::prev(tray_icons_.end());
    } else {
        existing->owner = owner;
        existing->icon = image;
    }
    return notify_tray_add(*existing);
}

bool WindowLayer::set_tray_tooltip(int number, std::wstring_view text)
{
    auto icon = std::find_if(tray_icons_.begin(), tray_icons_.end(),
                             [number](const TrayIcon& i) { return i.number == number; });
    if (icon == tray_icons_.end()) {
        return false;
    }
    icon->tooltip = tray_tooltip_text(text);
    return notify_tray_tooltip(*icon);
}

std::wstring WindowLayer::tray_tooltip(int number) const
{
    auto icon = std::find_if(tray_icons_.begin(), tray_icons_.end(),
                             [number](const TrayIcon& i) { return i.number == number; });
    return icon == tray_icons_.end() ? std::wstring() : icon->tooltip;
}

void WindowLayer::remove_tray_icons()
{
    for (const TrayIcon& icon : tray_icons_) {
        NOTIFYICONDATAW data = notify_data(icon.owner, icon.number);
        ::Shell_NotifyIconW(NIM_DELETE, &data);
        for (auto image = images_.begin(); image != images_.end(); ++image) {
            if (image->second.get() == icon.icon) {
                images_.erase(image);
                break;
            }
        }
    }
    tray_icons_.clear();
}

void WindowLayer::on_taskbar_created()
{
    // Explorer started again and forgot every icon: show ours anew, or the program is out of reach.
    for (const TrayIcon& icon : tray_icons_) {
        if (notify_tray_add(icon) && !icon.tooltip.empty()) {
            notify_tray_tooltip(icon);
        }
    }
}

bool WindowLayer::next_pending_event()
{
    if (pending_.empty()) {
        return false;
    }
    current_ = pending_.front();
    pending_.pop_front();
    return true;
}

bool WindowLayer::dispatch_waiting_messages()
{
    // PeekMessage also delivers messages sent from other threads, which may queue events of
    // their own (the tray's notifications come that way), so the queue is checked after each.
    MSG message;
    while (pending_.empty() && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

int WindowLayer::wait_event()
{
    for (;;) {
        if (next_pending_event()) {
            return current_.code;
        }
        if (!dispatch_waiting_messages()) {
            current_ = Event{};
            return NO_EVENT;
        }
        if (pending_.empty()) {
            ::WaitMessage();
        }
    }
}

int WindowLayer::poll_event()
{
    dispatch_waiting_messages();
    if (!next_pending_event()) {
        current_ = Event{};
    }
    return current_.code;
}

void WindowLayer::show_window(int number, bool hide)
{
    HWND window = window_handle(number);
    if (window == nullptr) {
        return;
    }
    if (hide) {
        ::ShowWindow(window, SW_HIDE);
        return;
    }
    int command = SW_SHOWNORMAL;
    if (::IsIconic(window)) {
        command = SW_SHOWMINIMIZED;
    } else if (::IsZoomed(window)) {
        command = SW_SHOWMAXIMIZED;
    }
    ::ShowWindow(window, command);
}

void WindowLayer::set_topmost(int number, bool on)
{
    HWND window = window_handle(number);
    if (window == nullptr) {
        return;
    }
    ::SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void WindowLayer::set_control_text(int number, std::wstring_view text)
{
    HWND window = window_handle(number);
    if (window == nullptr) {
        return;
    }
    const std::wstring copy(text);
    ::SetWindowTextW(window, copy.c_str());
}

void WindowLayer::destroy_all()
{
    // Destroying a top-level window destroys its controls with it.
    top_level_windows_.clear();
    windows_.clear();
    control_parent_ = nullptr;
    images_.clear();
}

LRESULT CALLBACK WindowLayer::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* layer = reinterpret_cast<WindowLayer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    if (layer == nullptr) {
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    return layer->handle_message(window, message, wparam, lparam);
}

void WindowLayer::on_control_command(WPARAM wparam, LPARAM lparam)
{
    const auto control = reinterpret_cast<HWND>(lparam);
    if (control == nullptr) {
        return;  // menus and accelerators: the window has neither
    }
    pending_.push_back(Event{EVENT_CONTROL, ::GetDlgCtrlID(control), HIWORD(wparam)});
}

void WindowLayer::on_tray_callback(WPARAM wparam, LPARAM lparam)
{
    const int type = tray_event_type(LOWORD(lparam));
    if (type >= 0) {
        pending_.push_back(Event{EVENT_TRAY, static_cast<int>(wparam), type});
    }
}

LRESULT WindowLayer::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (taskbar_created_message_ != 0 && message == taskbar_created_message_) {
        on_taskbar_created();
        return 0;
    }
    switch (message) {
    case WM_COMMAND:
        on_control_command(wparam, lparam);
        return 0;
    case TRAY_CALLBACK_MESSAGE:
        on_tray_callback(wparam, lparam);
        return 0;
    case WM_CLOSE:
        // The window is never destroyed by its close box: it is only hidden by the program.
        pending_.push_back(Event{EVENT_CLOSE, 0, 0});
        return 0;
    default:
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace tovalen::platform
