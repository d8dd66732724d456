// A program of the test: Tovalen's start-up and one report build on a system whose drive C: is
// not ready. It prints each message the program shows, and the window that owns the tray icon,
// so that the test can check what is left once the program has ended.
#include "platform/system_calls.h"
#include "report/report.h"
#include "shell/shell.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>

namespace {

BOOL WINAPI drive_not_ready(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER)
{
    ::SetLastError(ERROR_NOT_READY);
    return FALSE;
}

int WINAPI print_message(HWND, LPCWSTR text, LPCWSTR title, UINT flags)
{
    std::printf("message|%ls|%ls|%u\n", text, title, flags);
    std::fflush(stdout);
    return IDOK;
}

// Whether the tray has the program's icon: it accepts a change only of an icon it has.
bool tray_has_icon(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = static_cast<UINT>(tovalen::TRAY_ICON);
    data.uFlags = NIF_TIP;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

// When the program's window is destroyed at the program's end, asks the tray whether the icon is
// still there.
LRESULT CALLBACK watch_destruction(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_DESTROY) {
        std::printf("tray-icon-at-end|%d\n", tray_has_icon(window) ? 1 : 0);
        std::fflush(stdout);
    }
    return ::DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace

int main()
{
    tovalen::platform::system_calls().get_disk_free_space = drive_not_ready;
    tovalen::platform::system_calls().message_box = print_message;
    tovalen::start_up();
    HWND window = tovalen::window_layer().window_handle(tovalen::MAIN_WINDOW);
    ::SetWindowSubclass(window, watch_destruction, 1, 0);
    std::printf("tray-icon-at-start|%d\n", tray_has_icon(window) ? 1 : 0);
    std::fflush(stdout);
    tovalen::build_report();
    std::printf("report built\n");
    return 3;
}
