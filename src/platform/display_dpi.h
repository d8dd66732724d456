// The DPI of windows and of the system, and the metrics that follow it. The per-window and
// per-DPI functions of user32 came with Windows 10; on older systems every window has the
// system's DPI, and the older functions answer for it.
#pragma once

#include <windows.h>

namespace tovalen::platform {

int system_dpi();
int window_dpi(HWND window);
// The window rectangle around a client rectangle, with the frame and caption of the DPI.
RECT window_rect_for_client(const RECT& client, DWORD style, DWORD ex_style, int dpi);
// The side of a small icon (tray, caption) at the DPI.
int small_icon_size(int dpi);
// The work area of the monitor that holds most of the rectangle.
RECT work_area_of(const RECT& rect);

}  // namespace tovalen::platform
