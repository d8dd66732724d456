#include "shell/shell.h"

#include "comline/comline.h"
#include "platform/display_dpi.h"
#include "platform/system_folder.h"
#include "report/collectors.h"
#include "report/report.h"
#include "shell/actions.h"
#include "shell/editor_callback.h"
#include "shell/embedded_images.h"

#include <objbase.h>
#include <shellapi.h>

namespace tovalen {

int report_current = 0;

namespace {

constexpr int WINDOW_CLIENT_WIDTH = 300;
constexpr int WINDOW_CLIENT_HEIGHT = 520;
constexpr int BUTTON_WIDTH = 80;
constexpr int BUTTON_HEIGHT = 35;
constexpr int BUTTON_TOP = 482;

struct ButtonPlace {
    int button;
    int image;
    int left;
    const wchar_t* name;  // what a screen reader announces and the tooltip shows
};

constexpr ButtonPlace BUTTONS[] = {
    {TICKET_BUTTON, TICKET_IMAGE, 20, L"Create Ticket"},
    {PRINTER_BUTTON, PRINTER_IMAGE, 110, L"Install Printer"},
    {MAIL_BUTTON, MAIL_IMAGE, 200, L"Send To IT"},
};

void initialise_platform_services()
{
    platform::keep_searches_to_the_system();
    window_layer().initialise();
    // The automation layer runs on this thread's single-threaded apartment for the whole run.
    ::CoInitialize(nullptr);
    comline::make_bstr = comline::allocate_bstr;
}

void create_report_window()
{
    platform::WindowLayer& layer = window_layer();
    layer.open_window(MAIN_WINDOW, 0, 0, WINDOW_CLIENT_WIDTH, WINDOW_CLIENT_HEIGHT, L"Tovalen",
                      platform::WindowStyle{.invisible = true, .centred = true, .caption_and_system_menu = true});
    if (HWND editor = layer.create_rich_edit(REPORT_EDITOR, 1, 1, 298, 480, true)) {
        attach_editor_callback(editor);
    }
    for (const ButtonPlace& place : BUTTONS) {
        HICON image =
            layer.decode_picture(place.image, embedded_image(place.image), embedded_scaled_image(place.image));
        layer.create_image_button(place.button, place.left, BUTTON_TOP, BUTTON_WIDTH, BUTTON_HEIGHT, image, place.name);
    }
}

void add_tray_icon()
{
    platform::WindowLayer& layer = window_layer();
    // The tray sits on the primary screen, whose DPI is the system's.
    const int size = platform::small_icon_size(platform::system_dpi());
    HICON image = layer.decode_image(TRAY_IMAGE, embedded_image(TRAY_IMAGE), size, size);
    layer.add_tray_icon(TRAY_ICON, layer.window_handle(MAIN_WINDOW), image);
    layer.set_tray_tooltip(TRAY_ICON, TRAY_TOOLTIP);
}

void show_report()
{
    if (report_current == 0) {
        build_report();
        report_current = 1;
    }
    window_layer().show_window(MAIN_WINDOW, false);
    window_layer().set_topmost(MAIN_WINDOW, true);
}

void on_tray_event(int type)
{
    switch (type) {
    case platform::TRAY_SHOW_REPORT:
        show_report();
        break;
    case platform::TRAY_COPY_REPORT:
        copy_report();
        break;
    default:
        break;
    }
}

void on_control_event(int object)
{
    // A second click queued before the first one hid the window would hand over a second mail.
    if (!window_layer().is_shown(MAIN_WINDOW)) {
        return;
    }
    switch (object) {
    case TICKET_BUTTON:
        open_helpdesk_form();
        break;
    case PRINTER_BUTTON:
        open_printer_share();
        break;
    case MAIL_BUTTON:
        send_report_mail();
        break;
    default:
        break;  // the editor's own notifications
    }
}

// Posted as the notification area posts a selection of the icon at version 4: the selection and
// the icon's number in lParam, the anchor in wParam. A selection has no use for the anchor, which
// carries the icon's number too, where the first version names the icon: a copy whose icon the
// shell kept at that version reads the same request.
bool ask_to_show_report(const platform::RunningCopy& other)
{
    // This start was given the right to bring a window to the front; the running copy needs it.
    ::AllowSetForegroundWindow(other.process_id);
    return ::PostMessageW(other.window, platform::TRAY_CALLBACK_MESSAGE, TRAY_ICON, MAKELPARAM(NIN_SELECT, TRAY_ICON)) !=
           FALSE;
}

}  // namespace

bool leave_start_to_running_copy(platform::SingleCopy& copy)
{
    using Standing = platform::SingleCopy::Standing;
    if (copy.standing() == Standing::other_found && !ask_to_show_report(copy.other())) {
        // It ended since it was found: this copy may take its place.
        copy.look_again();
        if (copy.standing() == Standing::other_found) {
            ask_to_show_report(copy.other());
        }
    }
    // A copy still starting shows its own icon soon; a second one would be one too many.
    return copy.standing() == Standing::other_found || copy.standing() == Standing::other_starting;
}

void announce_report_window(platform::SingleCopy& copy) { copy.announce(window_layer().window_handle(MAIN_WINDOW)); }

platform::WindowLayer& window_layer()
{
    static platform::WindowLayer layer;
    return layer;
}

void hide_report_window()
{
    window_layer().show_window(MAIN_WINDOW, true);
    window_layer().set_control_text(REPORT_EDITOR, L"");
    report_current = 0;
}

void trim_working_set()
{
    ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

void start_up()
{
    initialise_platform_services();
    reset_editor_callbacks();
    create_report_window();
    add_tray_icon();
}

void dispatch_event(int code, int object, int type)
{
    switch (code) {
    case platform::EVENT_CONTROL:
        on_control_event(object);
        break;
    case platform::EVENT_CLOSE:
        hide_report_window();
        window_layer().tray_window_closed(TRAY_ICON);
        break;
    case platform::EVENT_TRAY:
        on_tray_event(type);
        break;
    case platform::EVENT_END_SESSION:
        end_program();
    default:
        break;
    }
}

void run_event_loop()
{
    platform::WindowLayer& layer = window_layer();
    for (;;) {
        const int code = layer.wait_event();
        const int type = layer.event_type();
        const int object = layer.event_object();
        trim_working_set();
        dispatch_event(code, object, type);
    }
}

void end_program()
{
    platform::WindowLayer& layer = window_layer();
    layer.remove_tray_icons();
    release_network_library();
    layer.destroy_all();
    ::ExitProcess(0);
}

}  // namespace tovalen
