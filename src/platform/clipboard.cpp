#include "platform/clipboard.h"

#include "platform/handles.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace tovalen::platform {

namespace {

// The clipboard is open until this ends, on every path.
class OpenClipboard {
public:
    explicit OpenClipboard(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
    OpenClipboard(const OpenClipboard&) = delete;
    OpenClipboard& operator=(const OpenClipboard&) = delete;
    ~OpenClipboard()
    {
        if (open_) {
            ::CloseClipboard();
        }
    }
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

// Movable global memory holding the text and its terminating null, as the clipboard takes it.
UniqueGlobalMemory global_text(std::wstring_view text)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) {
        return memory;
    }
    void* target = ::GlobalLock(memory.get());
    if (target == nullptr) {
        return UniqueGlobalMemory();
    }
    std::memcpy(target, text.data(), text.size() * sizeof(wchar_t));
    static_cast<wchar_t*>(target)[text.size()] = L'\0';
    ::GlobalUnlock(memory.get());
    return memory;
}

}  // namespace

bool put_text_on_clipboard(HWND owner, std::wstring_view text)
{
    UniqueGlobalMemory memory = global_text(text);
    const OpenClipboard clipboard(owner);
    if (!memory || !clipboard || !::EmptyClipboard()) {
        return false;
    }
    if (::SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) {
        return false;
    }
    memory.release();  // the clipboard owns it now
    return true;
}

std::wstring clipboard_text(HWND owner)
{
    const OpenClipboard clipboard(owner);
    HANDLE data = clipboard ? ::GetClipboardData(CF_UNICODETEXT) : nullptr;
    const auto* text = data != nullptr ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
    if (text == nullptr) {
        return {};
    }
    // The clipboard's memory may be larger than the text; the text ends at its null or its end.
    const std::size_t units = ::GlobalSize(data) / sizeof(wchar_t);
    std::wstring copy(text, wcsnlen(text, units));
    ::GlobalUnlock(data);
    return copy;
}

}  // namespace tovalen::platform
