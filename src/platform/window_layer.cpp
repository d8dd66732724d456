#include "platform/window_layer.h"

#include "platform/display_dpi.h"
#include "platform/ico_directory.h"
#include "platform/system_calls.h"
#include "platform/system_folder.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tovalen::platform {

namespace {

constexpr int PROGRAM_ICON_RESOURCE = 1;

HINSTANCE program_instance() { return ::GetModuleHandleW(nullptr); }

int width_of(const RECT& rect) { return rect.right - rect.left; }
int height_of(const RECT& rect) { return rect.bottom - rect.top; }

RECT centred_in(const RECT& work, int width, int height)
{
    const int left = work.left + (width_of(work) - width) / 2;
    const int top = work.top + (height_of(work) - height) / 2;
    return RECT{left, top, left + width, top + height};
}

// Moves a window rectangle up or down as little as keeps it inside the work area, top first.
RECT kept_inside_vertically(RECT rect, const RECT& work)
{
    int shift = 0;
    if (rect.bottom > work.bottom) {
        shift = work.bottom - rect.bottom;
    }
    if (rect.top + shift < work.top) {
        shift = work.top - rect.top;
    }
    ::OffsetRect(&rect, 0, shift);
    return rect;
}

void place_window(HWND window, const RECT& rect)
{
    RECT current{};
    ::GetWindowRect(window, &current);
    if (!::EqualRect(&current, &rect)) {
        ::SetWindowPos(window, nullptr, rect.left, rect.top, width_of(rect), height_of(rect),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The height in twips that the editor's default font must have at the system's DPI. Where that
// font is the system font, it has grown with the system's DPI already; where it is a font of
// its own, fixed in pixels (Wine's editor keeps 12 pixels at any DPI), it is grown here.
LONG system_dpi_font_height(LONG twips)
{
    constexpr int TWIPS_PER_INCH = 1440;
    const int dpi = system_dpi();
    LOGFONTW system_font{};
    if (::GetObjectW(::GetStockObject(SYSTEM_FONT), sizeof system_font, &system_font) != 0 &&
        std::abs(system_font.lfHeight) == ::MulDiv(twips, dpi, TWIPS_PER_INCH)) {
        return twips;
    }
    return ::MulDiv(twips, dpi, DESIGN_DPI);
}

// The icon of one image of an icon file, at its own size: asked for another size, the system
// would stretch it.
HICON icon_of(std::span<const std::uint8_t> ico_file, const IcoEntry& entry)
{
    // CreateIconFromResourceEx takes a non-const pointer but only reads the bits.
    auto* bits = const_cast<std::uint8_t*>(ico_file.data() + entry.offset);
    return ::CreateIconFromResourceEx(bits, entry.bytes, TRUE, 0x00030000, entry.width, entry.height,
                                      LR_DEFAULTCOLOR);
}

void place_control(HWND parent, HWND control, const Box& place)
{
    RECT current{};
    ::GetWindowRect(control, &current);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&current), 2);
    if (current.left != place.left || current.top != place.top || width_of(current) != place.width ||
        height_of(current) != place.height) {
        ::MoveWindow(control, place.left, place.top, place.width, place.height, TRUE);
    }
}

bool high_contrast_on()
{
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof setting;
    return system_calls().system_parameters_info(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) != FALSE &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// The font of the system's message boxes, which it gives at its own DPI, at the window's.
UniqueFont message_font(int dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return UniqueFont();
    }
    metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, dpi, system_dpi());
    return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace

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
    window_style_ = window_style;
    centred_ = style.centred;
    design_client_width_ = client_width;
    design_client_height_ = client_height;
    designed_controls_.clear();
    flexible_control_ = -1;
    button_images_.clear();
    buttons_.clear();
    high_contrast_ = high_contrast_on();
    // The window does not exist yet: it opens on the primary screen, whose DPI is the system's.
    dpi_ = system_dpi();
    const RECT client{x, y, x + scale_to_dpi(client_width, dpi_), y + scale_to_dpi(client_height, dpi_)};
    RECT rect = window_rect_for_client(client, window_style, ex_style, dpi_);
    if (style.centred) {
        rect = centred_in(work_area_of(rect), width_of(rect), height_of(rect));
    }
    const std::wstring title_text(title);
    HWND window = ::CreateWindowExW(ex_style, MAIN_WINDOW_CLASS, title_text.c_str(), window_style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                    program_instance(), this);
    if (window != nullptr) {
        windows_[number] = window;
        top_level_windows_[number] = UniqueWindow(window);
        control_parent_ = window;
        const int actual_dpi = window_dpi(window);
        if (actual_dpi != dpi_) {
            dpi_ = actual_dpi;
            lay_out(nullptr);
        }
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
    const Box place = scale_box(Box{x, y, width, height}, dpi_);
    HWND editor = ::CreateWindowExW(WS_EX_CLIENTEDGE, rich_edit_class_.c_str(), L"", style, place.left, place.top,
                                    place.width, place.height, control_parent_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)), program_instance(), nullptr);
    if (editor == nullptr) {
        return nullptr;
    }
    ::SendMessageW(editor, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    ::SendMessageW(editor, EM_SETEVENTMASK, 0, ENM_CHANGE);
    windows_[number] = editor;
    designed_controls_.push_back(DesignedControl{number, Box{x, y, width, height}});
    flexible_control_ = number;
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    ::SendMessageW(editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    editor_font_height_ = system_dpi_font_height(format.yHeight);
    if (editor_font_height_ != format.yHeight || dpi_ != system_dpi()) {
        rescale_editor_font();
    }
    lay_out(nullptr);
    return editor;
}

HWND WindowLayer::create_image_button(int number, int x, int y, int width, int height, HICON image,
                                      std::wstring_view name)
{
    const Box place = scale_box(Box{x, y, width, height}, dpi_);
    const std::wstring text(name);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    HWND button = ::CreateWindowExW(0, L"BUTTON", text.c_str(), style, place.left, place.top, place.width,
                                    place.height, control_parent_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)), program_instance(), nullptr);
    if (button == nullptr) {
        return nullptr;
    }
    if (!button_font_) {
        button_font_ = message_font(dpi_);
    }
    dress_button(button, image);
    if (image != nullptr) {
        for (const auto& [image_number, icon] : images_) {
            if (icon.get() == image) {
                button_images_[number] = image_number;
            }
        }
    }
    windows_[number] = button;
    buttons_.push_back(button);
    if (!name.empty()) {
        add_tooltip(button, name);
    }
    designed_controls_.push_back(DesignedControl{number, Box{x, y, width, height}});
    lay_out(nullptr);
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
    const auto entry = entries ? best_ico_entry(*entries, width, height) : std::nullopt;
    HICON icon = entry ? icon_of(ico_file, *entry) : nullptr;
    if (icon != nullptr) {
        images_[image_number] = UniqueIcon(icon);
    }
    return icon;
}

HICON WindowLayer::decode_picture(int image_number, std::span<const std::uint8_t> design,
                                  std::span<const std::uint8_t> larger)
{
    const DrawnPicture picture{design, larger};
    HICON icon = decode_at_dpi(picture);
    if (icon != nullptr) {
        images_[image_number] = UniqueIcon(icon);
        dpi_images_[image_number] = picture;
    }
    return icon;
}

HICON WindowLayer::decode_at_dpi(const DrawnPicture& picture) const
{
    const auto design = read_ico_directory(picture.design);
    if (!design) {
        return nullptr;
    }
    // The 96-DPI image, then each larger one; a damaged file of larger ones leaves them out.
    std::vector<std::pair<std::span<const std::uint8_t>, IcoEntry>> drawn{{picture.design, design->front()}};
    if (const auto larger = read_ico_directory(picture.larger)) {
        for (const IcoEntry& entry : *larger) {
            drawn.emplace_back(picture.larger, entry);
        }
    }
    std::vector<int> heights;
    for (const auto& size : drawn) {
        heights.push_back(size.second.height);  // NOLINT(performance-inefficient-vector-operation): a handful of sizes
    }
    const auto& [file, entry] = drawn[picture_for_dpi(heights, dpi_)];
    return icon_of(file, entry);
}

bool WindowLayer::add_tray_icon(int number, HWND owner, HICON image) { return tray_icons_.add(number, owner, image); }

bool WindowLayer::set_tray_tooltip(int number, std::wstring_view text) { return tray_icons_.set_tooltip(number, text); }

void WindowLayer::remove_tray_icons()
{
    for (HICON removed : tray_icons_.remove_all()) {
        const auto image = std::find_if(images_.begin(), images_.end(),
                                        [removed](const auto& kept) { return kept.second.get() == removed; });
        if (image != images_.end()) {
            images_.erase(image);
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
        if (handle_dialog_key(message)) {
            continue;
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

bool WindowLayer::is_shown(int number) const
{
    HWND window = window_handle(number);
    return window != nullptr && ::IsWindowVisible(window) != FALSE;
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
    // Destroying a top-level window destroys its controls with it, and the windows it owns: the
    // tooltip goes first so that its owner does not destroy it behind its back.
    tooltip_.reset();
    buttons_.clear();
    top_level_windows_.clear();
    button_font_.reset();  // after the buttons that show it
    windows_.clear();
    control_parent_ = nullptr;
    designed_controls_.clear();
    button_images_.clear();
    dpi_images_.clear();
    images_.clear();
    last_focus_ = nullptr;
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
    if (const auto event = tray_icons_.on_notification(wparam, lparam)) {
        pending_.push_back(Event{EVENT_TRAY, event->number, event->type});
    }
}

LRESULT WindowLayer::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (taskbar_created_message_ != 0 && message == taskbar_created_message_) {
        tray_icons_.add_again();
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
    case WM_QUERYENDSESSION:
        return TRUE;  // nothing to save: the program keeps no state
    case WM_ENDSESSION:
        // The process may be ended as soon as this returns, so the icons go at once.
        if (wparam != FALSE) {
            remove_tray_icons();
            pending_.push_back(Event{EVENT_END_SESSION, 0, 0});
        }
        return 0;
    case WM_DPICHANGED:
        if (window == control_parent_) {
            on_dpi_changed(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
            return 0;
        }
        return ::DefWindowProcW(window, message, wparam, lparam);
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
    case WM_SETTINGCHANGE:
        if (window == control_parent_) {
            follow_high_contrast();
        }
        return ::DefWindowProcW(window, message, wparam, lparam);
    case WM_ACTIVATE:
        if (window == control_parent_ && on_activate(window, wparam)) {
            return 0;
        }
        return ::DefWindowProcW(window, message, wparam, lparam);
    default:
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

// High DPI.

void WindowLayer::lay_out(const RECT* suggested)
{
    HWND window = control_parent_;
    if (window == nullptr) {
        return;
    }
    std::vector<Box> places;
    std::optional<std::size_t> flexible;
    for (const DesignedControl& control : designed_controls_) {
        if (control.number == flexible_control_) {
            flexible = places.size();
        }
        places.push_back(control.place);
    }
    // On a DPI change the window takes the place and height the system suggests, as Windows
    // asks of windows that follow each screen's DPI: laid out otherwise, it could end up mostly
    // on the screen it came from, and go back and forth between the two.
    RECT current{};
    if (suggested != nullptr) {
        current = *suggested;
    } else {
        ::GetWindowRect(window, &current);
    }
    const RECT work = work_area_of(current);
    const RECT frame = window_rect_for_client(RECT{0, 0, 0, 0}, window_style_, 0, dpi_);
    int room = height_of(work) - height_of(frame);
    if (suggested != nullptr) {
        room = std::min(room, height_of(*suggested) - height_of(frame));
    }
    const Layout layout =
        fit_layout(LayoutRequest{design_client_width_, design_client_height_, places, flexible, dpi_, room});
    RECT rect{current.left, current.top, current.left + layout.client_width + width_of(frame),
              current.top + layout.client_height + height_of(frame)};
    if (centred_ && suggested == nullptr && !::IsWindowVisible(window)) {
        rect = centred_in(work, width_of(rect), height_of(rect));
    }
    place_window(window, kept_inside_vertically(rect, work));
    // The frame may not be the one the DPI suggests (a system that draws it at another DPI):
    // the client size is what counts.
    RECT client{};
    ::GetClientRect(window, &client);
    if (client.right != layout.client_width || client.bottom != layout.client_height) {
        ::GetWindowRect(window, &rect);
        rect.right += layout.client_width - client.right;
        rect.bottom += layout.client_height - client.bottom;
        place_window(window, kept_inside_vertically(rect, work));
    }
    for (std::size_t i = 0; i < designed_controls_.size(); ++i) {
        place_control(window, window_handle(designed_controls_[i].number), layout.controls[i]);
    }
}

void WindowLayer::on_dpi_changed(int dpi, const RECT& suggested)
{
    dpi_ = dpi;
    lay_out(&suggested);
    rescale_images();
    rescale_button_font();
    rescale_editor_font();
}

void WindowLayer::rescale_images()
{
    for (const auto& [button_number, image_number] : button_images_) {
        auto source = dpi_images_.find(image_number);
        HWND button = window_handle(button_number);
        if (source == dpi_images_.end() || button == nullptr) {
            continue;
        }
        UniqueIcon icon(decode_at_dpi(source->second));
        if (icon) {
            // The button shows the new picture before the old one is destroyed.
            dress_button(button, icon.get());
            images_[image_number] = std::move(icon);
        }
    }
}

void WindowLayer::rescale_button_font()
{
    UniqueFont font = message_font(dpi_);
    for (HWND button : buttons_) {
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    button_font_ = std::move(font);
}

// High contrast.

HICON WindowLayer::button_picture(HWND button) const
{
    const auto image = button_images_.find(::GetDlgCtrlID(button));
    const auto icon = image == button_images_.end() ? images_.end() : images_.find(image->second);
    return icon == images_.end() ? nullptr : icon->second.get();
}

void WindowLayer::dress_button(HWND button, HICON picture) const
{
    // A high-contrast theme asks for its own colours, which the pictures' fixed ones would defy:
    // the button shows its name instead, which the system draws in the theme's colours, as it
    // does where the picture could not be decoded.
    const bool shows_picture = picture != nullptr && !high_contrast_;
    if (!shows_picture) {
        ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, 0);  // while the style still takes an icon
    }
    LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_ICON | BS_MULTILINE);
    style |= shows_picture ? BS_ICON : BS_MULTILINE;
    ::SetWindowLongPtrW(button, GWL_STYLE, style);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(button_font_.get()), FALSE);
    if (shows_picture) {
        ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture));
    }
    ::InvalidateRect(button, nullptr, TRUE);
}

void WindowLayer::follow_high_contrast()
{
    const bool on = high_contrast_on();
    if (on == high_contrast_) {
        return;
    }
    high_contrast_ = on;
    for (HWND button : buttons_) {
        dress_button(button, button_picture(button));
    }
}

void WindowLayer::rescale_editor_font()
{
    // The editor measures its font in points and draws them at the system's DPI, which is the
    // window's own only on the screen the program started on.
    HWND editor = window_handle(flexible_control_);
    if (editor == nullptr || editor_font_height_ <= 0) {
        return;
    }
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_SIZE;
    format.yHeight = ::MulDiv(editor_font_height_, dpi_, system_dpi());
    ::SendMessageW(editor, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    ::SendMessageW(editor, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

// Keyboard.

bool WindowLayer::is_button(HWND window) const
{
    return std::find(buttons_.begin(), buttons_.end(), window) != buttons_.end();
}

bool WindowLayer::handle_dialog_key(const MSG& message)
{
    HWND window = control_parent_;
    if (message.message != WM_KEYDOWN || window == nullptr ||
        (message.hwnd != window && !::IsChild(window, message.hwnd))) {
        return false;
    }
    const bool dialog_key = message.wParam == VK_TAB || message.wParam == VK_ESCAPE ||
                            (message.wParam == VK_RETURN && is_button(message.hwnd));
    if (!dialog_key) {
        return false;  // Space reaches the focused button, which clicks itself on its release
    }
    // A held key repeats its key-down, and a key pressed twice may still be queued after the first
    // press hid the window: neither acts again (a second mail, a second browser).
    constexpr LPARAM KEY_WAS_DOWN = LPARAM{1} << 30;
    if ((message.lParam & KEY_WAS_DOWN) != 0 || !::IsWindowVisible(window)) {
        return true;
    }
    switch (message.wParam) {
    case VK_TAB:
        move_focus(::GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_ESCAPE:
        // The same way as the close box, so that it hides, empties and marks the report stale.
        ::SendMessageW(window, WM_CLOSE, 0, 0);
        return true;
    default:
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(message.hwnd), BN_CLICKED),
                       reinterpret_cast<LPARAM>(message.hwnd));
        return true;
    }
}

void WindowLayer::move_focus(bool backwards)
{
    std::vector<HWND> stops;
    for (HWND child = ::GetWindow(control_parent_, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) != 0 && ::IsWindowVisible(child) &&
            ::IsWindowEnabled(child)) {
            stops.push_back(child);
        }
    }
    if (stops.empty()) {
        return;
    }
    const auto focused = std::find(stops.begin(), stops.end(), ::GetFocus());
    std::size_t next = 0;
    if (focused == stops.end()) {
        next = backwards ? stops.size() - 1 : 0;
    } else {
        const auto at = static_cast<std::size_t>(focused - stops.begin());
        next = backwards ? (at + stops.size() - 1) % stops.size() : (at + 1) % stops.size();
    }
    ::SetFocus(stops[next]);
}

void WindowLayer::add_tooltip(HWND button, std::wstring_view name)
{
    if (!tooltip_) {
        tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control_parent_,
                                         nullptr, program_instance(), nullptr));
        if (!tooltip_) {
            return;
        }
    }
    std::wstring text(name);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = control_parent_;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text.data();
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool WindowLayer::on_activate(HWND window, WPARAM wparam)
{
    // As a dialog box does: the control that had the keyboard focus when the window was left
    // (hidden, or another window activated) gets it back when the window is active again.
    if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(window, focus)) {
            last_focus_ = focus;
        }
        return false;
    }
    const bool minimised = HIWORD(wparam) != 0;
    if (minimised || last_focus_ == nullptr || !::IsChild(window, last_focus_) || !::IsWindowVisible(last_focus_) ||
        !::IsWindowEnabled(last_focus_)) {
        return false;  // the system gives the focus to the window itself
    }
    ::SetFocus(last_focus_);
    return true;
}

}  // namespace tovalen::platform
