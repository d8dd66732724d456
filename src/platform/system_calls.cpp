#include "platform/system_calls.h"

#include <string>

namespace tovalen::platform {

namespace {

HWND own_foreground_window()
{
    HWND foreground = ::GetForegroundWindow();
    if (foreground == nullptr) {
        return nullptr;
    }
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreground, &process);
    return process == ::GetCurrentProcessId() ? foreground : nullptr;
}

}  // namespace

SystemCalls real_system_calls()
{
    return SystemCalls{
        .get_disk_free_space = &::GetDiskFreeSpaceExW,
        .wsa_startup = &::WSAStartup,
        .send_arp = &::SendARP,
        .message_box = &::MessageBoxW,
    };
}

SystemCalls& system_calls()
{
    static SystemCalls calls = real_system_calls();
    return calls;
}

int show_message(std::wstring_view text, std::wstring_view title, UINT icon)
{
    const std::wstring text_copy(text);
    const std::wstring title_copy(title);
    return system_calls().message_box(own_foreground_window(), text_copy.c_str(), title_copy.c_str(), MB_OK | icon);
}

}  // namespace tovalen::platform
