// The window layer: windows, controls, images and tray icons addressed by small numbers, and
// the window messages that matter to the program delivered as (code, object, type) events.
#pragma once

#include "platform/dpi_layout.h"
#include "platform/handles.h"
#include "platform/tray_icon.h"

#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tovalen::platform {

inline constexpr int NO_EVENT = 0;
inline constexpr int EVENT_CONTROL = 13100;
inline constexpr int EVENT_TRAY = 13102;
inline constexpr int EVENT_CLOSE = 13116;
// The session ends (logoff, shutdown, or an installer's Restart Manager asking the program to
// close): the tray icons are already gone when it comes.
inline constexpr int EVENT_END_SESSION = 13117;

// The class of the main window, the name by which a program outside finds it.
inline constexpr wchar_t MAIN_WINDOW_CLASS[] = L"TovalenReportWindow";

struct Event {
    int code = NO_EVENT;
    int object = 0;
    int type = 0;
};

struct WindowStyle {
    bool invisible = false;
    bool centred = false;
    bool caption_and_system_menu = false;
};

// Which library provides the rich-edit control, tried in order.
struct RichEditSource {
    const wchar_t* library;
    const wchar_t* window_class;
};

inline constexpr RichEditSource DEFAULT_RICH_EDIT_SOURCES[] = {
    {L"RICHED20.DLL", L"RichEdit20W"},
    {L"RICHED32.DLL", L"RichEdit"},
};

class WindowLayer {
public:
    explicit WindowLayer(std::span<const RichEditSource> rich_edit_sources = DEFAULT_RICH_EDIT_SOURCES);
    WindowLayer(const WindowLayer&) = delete;
    WindowLayer& operator=(const WindowLayer&) = delete;
    ~WindowLayer();

    // Common controls and the window class. Safe to call more than once.
    bool initialise();

    // Controls made after this call belong to this window. The client size and the places of the
    // controls are in 96-DPI units, laid out at the window's DPI, and laid out again when the
    // window moves to a screen of another DPI, in the place and height the system suggests. A
    // window taller than the work area of its screen (or than that height) is made as tall as
    // the work area: its rich-edit control, which scrolls, gives up the height, and the controls
    // below it keep theirs. Shown again, the window gives the keyboard focus back to the control
    // that had it when the window was left.
    HWND open_window(int number, int x, int y, int client_width, int client_height, std::wstring_view title,
                     WindowStyle style);
    HWND create_rich_edit(int number, int x, int y, int width, int height, bool read_only);
    // The name is the button's window text, which screen readers announce (an image button does
    // not draw it), and its tooltip.
    HWND create_image_button(int number, int x, int y, int width, int height, HICON image,
                             std::wstring_view name = {});
    HWND window_handle(int number) const;

    // Decodes the image of an icon file in memory that suits the size best (no width and height:
    // its own size), and keeps it under the image number; the layer destroys it at the end.
    HICON decode_image(int image_number, std::span<const std::uint8_t> ico_file, int width = 0, int height = 0);
    // The same for a picture drawn at several sizes, which follows the DPI of the window last
    // opened: the first image of `design` is its 96-DPI size, each image of `larger` the same
    // picture drawn larger, its height telling the scale. Shown is the largest whose scale does
    // not exceed the DPI's, at its own size, never stretched; a button showing it shows the one
    // for the new DPI when the window moves to a screen of another. The files must outlive the
    // layer.
    HICON decode_picture(int image_number, std::span<const std::uint8_t> design,
                         std::span<const std::uint8_t> larger = {});

    bool add_tray_icon(int number, HWND owner, HICON image);
    bool set_tray_tooltip(int number, std::wstring_view text);
    // NIM_DELETE for every icon, and its icon handle destroyed.
    void remove_tray_icons();
    // The window an icon showed is closed (by its close box or Escape, not by one of its actions,
    // which hand the user to another program).
    void tray_window_closed(int number) { tray_icons_.window_closed(number); }

    // Blocks until the next event and returns its code.
    int wait_event();
    // Hands out an event if one is already waiting, without blocking; NO_EVENT otherwise.
    int poll_event();
    int event_type() const { return current_.type; }
    int event_object() const { return current_.object; }

    void show_window(int number, bool hide);
    bool is_shown(int number) const;
    void set_topmost(int number, bool on);
    void set_control_text(int number, std::wstring_view text);

    // Destroys the windows, their controls and the images.
    void destroy_all();

    // The text last handed to the tray for an icon's tooltip.
    std::wstring tray_tooltip(int number) const { return tray_icons_.tooltip(number); }
    // The class the rich-edit control was created with.
    const std::wstring& rich_edit_class() const { return rich_edit_class_; }
    // The DPI the window last opened is laid out at.
    int dpi() const { return dpi_; }

private:
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void on_control_command(WPARAM wparam, LPARAM lparam);
    void on_tray_callback(WPARAM wparam, LPARAM lparam);
    bool load_rich_edit_library();
    bool next_pending_event();
    bool dispatch_waiting_messages();

    // A picture's icon files: its 96-DPI size, and the same drawn larger.
    struct DrawnPicture {
        std::span<const std::uint8_t> design;
        std::span<const std::uint8_t> larger;
    };

    // High DPI.
    HICON decode_at_dpi(const DrawnPicture& picture) const;
    void lay_out(const RECT* suggested);
    void on_dpi_changed(int dpi, const RECT& suggested);
    void rescale_images();
    void rescale_editor_font();
    void rescale_button_font();

    // High contrast: the buttons show their names rather than their pictures.
    HICON button_picture(HWND button) const;
    void dress_button(HWND button, HICON picture) const;
    void follow_high_contrast();

    // Keyboard: what users expect of any window.
    bool on_activate(HWND window, WPARAM wparam);
    bool handle_dialog_key(const MSG& message);
    bool is_button(HWND window) const;
    void move_focus(bool backwards);
    void add_tooltip(HWND button, std::wstring_view name);

    std::vector<RichEditSource> rich_edit_sources_;
    std::wstring rich_edit_class_;
    UniqueLibrary rich_edit_library_;
    std::map<int, HWND> windows_;
    HWND control_parent_ = nullptr;  // the window last opened receives the controls made after it
    std::map<int, UniqueWindow> top_level_windows_;
    std::map<int, UniqueIcon> images_;
    UniqueIcon window_icon_big_;
    UniqueIcon window_icon_small_;
    TrayIcons tray_icons_;
    std::deque<Event> pending_;
    Event current_;
    UINT taskbar_created_message_ = 0;
    bool initialised_ = false;

    struct DesignedControl {
        int number = 0;
        Box place;  // 96-DPI units
    };
    int dpi_ = DESIGN_DPI;
    DWORD window_style_ = 0;
    bool centred_ = false;
    int design_client_width_ = 0;
    int design_client_height_ = 0;
    std::vector<DesignedControl> designed_controls_;
    int flexible_control_ = -1;
    LONG editor_font_height_ = 0;  // twips the report's text has at the system's DPI
    std::map<int, DrawnPicture> dpi_images_;                    // image number: its icon files
    std::map<int, int> button_images_;                          // button number: image number
    std::vector<HWND> buttons_;
    UniqueFont button_font_;  // for the buttons' names
    bool high_contrast_ = false;
    UniqueWindow tooltip_;
    HWND last_focus_ = nullptr;  // the control that had the keyboard focus when the window was left
};

}  // namespace tovalen::platform
