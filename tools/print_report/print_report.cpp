// Prints the text of the report window of a running Tovalen, as UTF-8 with LF line ends.
// Used by the run script, which has no other way into the window of a program under Wine.
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t REPORT_WINDOW_CLASS[] = L"TovalenReportWindow";
constexpr int REPORT_EDITOR = 1;

std::wstring editor_text(HWND editor)
{
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(editor, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 30000, &length)) {
        return {};
    }
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(editor, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                          30000, &copied);
    return std::wstring(buffer.data(), copied < length ? copied : length);
}

std::string utf8_with_lf(const std::wstring& text)
{
    std::wstring lf;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            continue;
        }
        lf += text[i] == L'\r' ? L'\n' : text[i];
    }
    lf += L'\n';
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, lf.data(), static_cast<int>(lf.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, lf.data(), static_cast<int>(lf.size()), out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain()
{
    HWND window = ::FindWindowW(REPORT_WINDOW_CLASS, nullptr);
    if (window == nullptr) {
        ::OutputDebugStringW(L"no Tovalen window\n");
        return 1;
    }
    const std::string text = utf8_with_lf(editor_text(::GetDlgItem(window, REPORT_EDITOR)));
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return text.size() > 1 ? 0 : 2;
}
