#include "platform/display_dpi.h"

#include "platform/system_folder.h"

namespace tovalen::platform {

namespace {

using GetDpiForSystemRoutine = UINT(WINAPI*)();
using GetDpiForWindowRoutine = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiRoutine = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiRoutine = int(WINAPI*)(int, UINT);

// The newer user32 functions; null on systems that lack them.
template <typename Routine>
Routine user32_routine(const char* name)
{
    return system_routine<Routine>(L"user32.dll", name);
}

int screen_dpi()
{
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) {
        return USER_DEFAULT_SCREEN_DPI;
    }
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

int system_dpi()
{
    static const auto get_dpi_for_system = user32_routine<GetDpiForSystemRoutine>("GetDpiForSystem");
    const int dpi = get_dpi_for_system != nullptr ? static_cast<int>(get_dpi_for_system()) : 0;
    return dpi > 0 ? dpi : screen_dpi();
}

int window_dpi(HWND window)
{
    static const auto get_dpi_for_window = user32_routine<GetDpiForWindowRoutine>("GetDpiForWindow");
    const bool known = get_dpi_for_window != nullptr && window != nullptr;
    const int dpi = known ? static_cast<int>(get_dpi_for_window(window)) : 0;
    return dpi > 0 ? dpi : system_dpi();
}

RECT window_rect_for_client(const RECT& client, DWORD style, DWORD ex_style, int dpi)
{
    static const auto adjust_for_dpi = user32_routine<AdjustWindowRectExForDpiRoutine>("AdjustWindowRectExForDpi");
    RECT rect = client;
    // At the system's DPI the classic call gives the very same frame, on every system.
    if (adjust_for_dpi != nullptr && dpi != system_dpi()) {
        adjust_for_dpi(&rect, style, FALSE, ex_style, static_cast<UINT>(dpi));
    } else {
        ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
    }
    return rect;
}

int small_icon_size(int dpi)
{
    static const auto metrics_for_dpi = user32_routine<GetSystemMetricsForDpiRoutine>("GetSystemMetricsForDpi");
    if (metrics_for_dpi != nullptr) {
        return metrics_for_dpi(SM_CXSMICON, static_cast<UINT>(dpi));
    }
    return ::GetSystemMetrics(SM_CXSMICON);
}

RECT work_area_of(const RECT& rect)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTOPRIMARY), &info)) {
        return info.rcWork;
    }
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    return work;
}

}  // namespace tovalen::platform
