// The text of the program's report editor, read through the rich-edit control's own messages.
#pragma once

#include "shell/shell.h"

#include <richedit.h>

#include <string>
#include <vector>

namespace tovalen::testing {

inline std::wstring report_editor_text()
{
    HWND editor = window_layer().window_handle(REPORT_EDITOR);
    GETTEXTLENGTHEX length_request{GTL_USECRLF | GTL_NUMCHARS, 1200};
    const auto length = ::SendMessageW(editor, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length_request), 0);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    GETTEXTEX request{static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
    const auto copied = ::SendMessageW(editor, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                                       reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data(), static_cast<std::size_t>(copied));
}

// Start-up once per test program, whichever group of tests needs the window first.
inline void start_up_once()
{
    if (window_layer().window_handle(MAIN_WINDOW) == nullptr) {
        start_up();
    }
}

}  // namespace tovalen::testing
