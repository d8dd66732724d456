// Text on the clipboard, for the user to paste where the program cannot hand it over itself.
#pragma once

#include <windows.h>

#include <string_view>

namespace tovalen::platform {

// Puts the text on the clipboard as Unicode text, replacing what was there. False when the
// clipboard could not be had (another program holds it open) or the memory not allocated.
bool put_text_on_clipboard(HWND owner, std::wstring_view text);

// The clipboard's Unicode text; empty when it holds none or cannot be opened.
std::wstring clipboard_text(HWND owner);

}  // namespace tovalen::platform
