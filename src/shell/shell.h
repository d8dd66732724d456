// The application shell: the tray icon, the report window, the event loop and the program's end.
#pragma once

#include "platform/single_copy.h"
#include "platform/window_layer.h"

namespace tovalen {

// Windows, controls and the tray icon.
inline constexpr int MAIN_WINDOW = 0;
inline constexpr int REPORT_EDITOR = 1;
inline constexpr int TICKET_BUTTON = 2;
inline constexpr int PRINTER_BUTTON = 3;
inline constexpr int MAIL_BUTTON = 4;
inline constexpr int TRAY_ICON = 5;

// Images.
inline constexpr int TRAY_IMAGE = 5;
inline constexpr int TICKET_IMAGE = 6;
inline constexpr int PRINTER_IMAGE = 7;
inline constexpr int MAIL_IMAGE = 8;

inline constexpr wchar_t TRAY_TOOLTIP[] = L"Tovalen\r\nClick to view";

// 1 while the report editor holds a report built since the window was last hidden.
extern int report_current;

// The program's one window layer.
platform::WindowLayer& window_layer();

// Hides the window, empties the report and marks it stale.
void hide_report_window();

// Asks the system to take as many pages as it can out of the working set.
void trim_working_set();

// How long a start waits for a copy that is still starting to make its window.
inline constexpr DWORD STARTING_COPY_WAIT_MS = 5000;

// When another copy runs in this session, asks it to show its report exactly as a left
// press on its tray icon would, and returns true: this start has nothing more to do. False when
// this copy is to run.
bool leave_start_to_running_copy(platform::SingleCopy& copy);

// Tells later starts which window to signal, once start-up has made it and the tray icon.
void announce_report_window(platform::SingleCopy& copy);

// Everything before the event loop: platform services, COM, the window with its controls and
// the tray icon.
void start_up();

// One turn of the event loop for an event already taken from the window layer.
void dispatch_event(int code, int object, int type);

// Waits for events and dispatches them; never returns.
[[noreturn]] void run_event_loop();

// The orderly end: tray icons removed, the network library released, the window and images
// destroyed, exit code 0.
[[noreturn]] void end_program();

}  // namespace tovalen
