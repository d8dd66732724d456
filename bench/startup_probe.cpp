// Starts a program and measures the time until its tray icon exists: the tray accepts a change
// only of an icon it has. Prints the milliseconds, then leaves the program running for the
// memory measurement of the calling script, which ends it.
#include <windows.h>
#include <shellapi.h>

#include "clock.h"

#include <cstdio>
#include <string>

namespace {

double now_milliseconds() { return tovalen::bench::now_ns() / 1e6; }

bool tray_icon_exists(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 5;
    data.uFlags = 0;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_probe <program>\n");
        return 2;
    }
    std::wstring command_line = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const double start = now_milliseconds();
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        std::fprintf(stderr, "cannot start the program (%lu)\n", ::GetLastError());
        return 1;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (;;) {
        HWND window = ::FindWindowW(L"TovalenReportWindow", nullptr);
        if (window != nullptr && tray_icon_exists(window)) {
            break;
        }
        if (now_milliseconds() - start > 60'000) {
            std::fprintf(stderr, "no tray icon within 60 s\n");
            return 1;
        }
        ::Sleep(2);
    }
    std::printf("%.1f\n", now_milliseconds() - start);
    return 0;
}
