#include "support/program_under_test.h"

#include "platform/single_copy.h"
#include "shell/shell.h"

#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <initializer_list>
#include <map>

namespace tovalen::testing {

namespace {

struct Caseless {
    bool operator()(const std::wstring& a, const std::wstring& b) const
    {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
            return std::towupper(x) < std::towupper(y);
        });
    }
};

std::vector<wchar_t> environment_block(const ProgramOptions& options)
{
    std::map<std::wstring, std::wstring, Caseless> variables;
    wchar_t* strings = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const std::size_t equals = text.find(L'=', 1);  // "=C:=C:\" style entries start with '='
        if (equals != std::wstring::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    ::FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : options.environment) {
        if (value.empty()) {
            variables.erase(name);
        } else {
            variables[name] = value;
        }
    }
    std::vector<wchar_t> block;
    for (const auto& [name, value] : variables) {
        block.insert(block.end(), name.begin(), name.end());
        block.push_back(L'=');
        block.insert(block.end(), value.begin(), value.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

struct WindowSearch {
    const wchar_t* class_name;
    std::function<bool(DWORD process_id)> owned;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD process_id = 0;
    ::GetWindowThreadProcessId(window, &process_id);
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (wcscmp(name, search->class_name) == 0 && search->owned(process_id)) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> top_level_windows(const wchar_t* class_name, std::function<bool(DWORD process_id)> owned)
{
    WindowSearch search{class_name, std::move(owned), {}};
    ::EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> top_level_windows(DWORD process_id, const wchar_t* class_name)
{
    return top_level_windows(class_name, [process_id](DWORD owner) { return owner == process_id; });
}

bool runs_program_file(DWORD process_id, const std::wstring& program_path)
{
    const platform::UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    wchar_t image[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    return process && ::QueryFullProcessImageNameW(process.get(), 0, image, &length) &&
           _wcsicmp(image, program_path.c_str()) == 0;
}

BOOL CALLBACK find_icon_static(HWND child, LPARAM context)
{
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
    if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
        auto* view = reinterpret_cast<DialogView*>(context);
        view->has_icon = true;
        view->icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

bool running(HANDLE process) { return process != nullptr && ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// The window is there a moment before its controls: the program makes them one by one after it,
// and the first start in a session spends a while loading the editor's library in between. A
// test that took the window then would post its sentinel to a control that is not there yet.
bool has_every_control(HWND window)
{
    for (const int number : {REPORT_EDITOR, TICKET_BUTTON, PRINTER_BUTTON, MAIL_BUTTON}) {
        if (::GetDlgItem(window, number) == nullptr) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<HWND> report_windows_of(const std::wstring& program_path)
{
    return top_level_windows(platform::MAIN_WINDOW_CLASS,
                             [&program_path](DWORD owner) { return runs_program_file(owner, program_path); });
}

RECT place_in(HWND control, HWND window)
{
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

IconPixels icon_pixels(HICON icon, IconPart part)
{
    IconPixels picture;
    ICONINFO info{};
    if (icon == nullptr || !::GetIconInfo(icon, &info)) {
        return picture;
    }
    const HBITMAP chosen = part == IconPart::colour ? info.hbmColor : info.hbmMask;
    BITMAP bitmap{};
    ::GetObjectW(chosen, sizeof bitmap, &bitmap);
    picture.width = bitmap.bmWidth;
    picture.height = bitmap.bmHeight;
    picture.pixels.resize(static_cast<std::size_t>(picture.width * picture.height));
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = picture.width;
    format.bmiHeader.biHeight = -picture.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, chosen, 0, static_cast<UINT>(picture.height), picture.pixels.data(), &format, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return picture;
}

std::wstring window_text(HWND window)
{
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 30000, &length)) {
        return {};
    }
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                          30000, &copied);
    return std::wstring(buffer.data(), std::min<std::size_t>(copied, length));
}

platform::UniqueFileHandle redirection_file(bool inheritable)
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"tvr", 0, name);
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, inheritable ? TRUE : FALSE};
    return platform::UniqueFileHandle(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    &security, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string contents_from_start(HANDLE file)
{
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::string contents;
    char block[4096];
    for (DWORD count = 0; ::ReadFile(file, block, sizeof(block), &count, nullptr) && count > 0;) {
        contents.append(block, count);
    }
    return contents;
}

FinishedRun run_to_end(const std::wstring& path, const std::wstring& arguments, DWORD timeout_ms,
                       const std::function<void(DWORD process_id)>& before_running)
{
    FinishedRun run;
    const platform::UniqueFileHandle output = redirection_file();
    const platform::UniqueFileHandle error = redirection_file();
    std::wstring command_line = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.get();
    startup.hStdError = error.get();
    PROCESS_INFORMATION info{};
    if (!output || !error ||
        !::CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, TRUE, before_running ? CREATE_SUSPENDED : 0,
                          nullptr, nullptr, &startup, &info)) {
        return run;
    }
    const platform::UniqueKernelHandle process(info.hProcess);
    const platform::UniqueKernelHandle thread(info.hThread);
    if (before_running) {
        before_running(info.dwProcessId);
        ::ResumeThread(thread.get());
    }
    if (::WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), GENEROUS_DEADLINE_MS);
        return run;
    }
    ::GetExitCodeProcess(process.get(), &run.exit_code);
    run.standard_output = contents_from_start(output.get());
    run.standard_error = contents_from_start(error.get());
    return run;
}

ProgramUnderTest::ProgramUnderTest(const std::wstring& path, const ProgramOptions& options)
{
    std::vector<wchar_t> environment = environment_block(options);
    std::wstring command_line = L"\"" + path + L"\"" + (options.arguments.empty() ? L"" : L" " + options.arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const wchar_t* directory = options.working_directory.empty() ? nullptr : options.working_directory.c_str();
    if (::CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                         environment.data(), directory, &startup, &info)) {
        process_.reset(info.hProcess);
        ::CloseHandle(info.hThread);
        process_id_ = info.dwProcessId;
        ::WaitForInputIdle(info.hProcess, 15000);
    }
}

ProgramUnderTest::~ProgramUnderTest() { end(); }

bool ProgramUnderTest::end()
{
    if (!process_) {
        return true;
    }
    if (::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.get(), 1);
    }
    // The next program started must not find this one still running, and take it for the copy
    // it should hand its start to.
    return ::WaitForSingleObject(process_.get(), GENEROUS_DEADLINE_MS) == WAIT_OBJECT_0;
}

double ProgramUnderTest::lifetime_ms()
{
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (wait_exit(0) == STILL_ACTIVE || !::GetProcessTimes(process_.get(), &created, &exited, &kernel, &user)) {
        return -1;
    }
    const auto ticks = [](const FILETIME& time) {
        return ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart;
    };
    return static_cast<double>(ticks(exited) - ticks(created)) / 10'000.0;  // 100-ns ticks
}

HWND ProgramUnderTest::main_window(DWORD timeout_ms)
{
    if (main_window_ == nullptr && started()) {
        HWND found = nullptr;
        wait_until(
            [this, &found] {
                const auto windows = top_level_windows(process_id_, platform::MAIN_WINDOW_CLASS);
                found = windows.empty() ? nullptr : windows.front();
                return (found != nullptr && has_every_control(found)) || !running(process_.get());
            },
            timeout_ms);
        main_window_ = found;
    }
    return main_window_;
}

std::string ProgramUnderTest::wait_until_running()
{
    if (!started()) {
        return "the program did not start";
    }
    if (main_window() == nullptr) {
        return "the program made no window with every control";
    }
    return wait_until_handled() ? "" : "the program handled no message after its start";
}

HWND ProgramUnderTest::control(int number) { return ::GetDlgItem(main_window(), number); }

void ProgramUnderTest::post_tray(UINT notification)
{
    // Version 4: the anchor (a point on the primary screen) in wParam, the icon's number in lParam.
    ::PostMessageW(main_window(), platform::TRAY_CALLBACK_MESSAGE, MAKEWPARAM(40, 30), MAKELPARAM(notification, TRAY_ICON));
}

void ProgramUnderTest::post_close() { ::PostMessageW(main_window(), WM_CLOSE, 0, 0); }

void ProgramUnderTest::post_control_notification(int number, WORD code)
{
    ::PostMessageW(main_window(), WM_COMMAND, MAKEWPARAM(number, code), reinterpret_cast<LPARAM>(control(number)));
}

bool ProgramUnderTest::wait_until_handled(DWORD timeout_ms)
{
    // Far above any report, so the editor behaves as before; new for every sentinel, so an
    // earlier one cannot be mistaken for it.
    static LPARAM next_limit = 0x7FFF0000;
    const LPARAM limit = ++next_limit;
    // Posted to no window, the sentinel would land in this thread's own queue.
    HWND editor = control(REPORT_EDITOR);
    if (editor == nullptr || !::PostMessageW(editor, EM_EXLIMITTEXT, 0, limit)) {
        return false;
    }
    return wait_until(
        [this, limit] {
            DWORD_PTR current = 0;
            ::SendMessageTimeoutW(control(REPORT_EDITOR), EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &current);
            return static_cast<LPARAM>(current) == limit || !running(process_.get());
        },
        timeout_ms) &&
           running(process_.get());
}

bool ProgramUnderTest::wait_for_report_window(bool shown, DWORD timeout_ms)
{
    const bool reached =
        wait_until([this, shown] { return window_visible() == shown || !running(process_.get()); }, timeout_ms);
    return reached && window_visible() == shown && wait_until_handled(timeout_ms);
}

bool ProgramUnderTest::press_to_show()
{
    for (const UINT click : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}) {
        post_tray(click);
    }
    return wait_for_report_window();
}

bool ProgramUnderTest::shows_a_report() { return editor_text().starts_with(L"----Hardware----"); }

HWND ProgramUnderTest::focused_window()
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = ::GetWindowThreadProcessId(main_window(), nullptr);
    if (thread != 0 && ::GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr) {
        return info.hwndFocus;
    }
    return main_window();
}

void ProgramUnderTest::post_key(UINT virtual_key)
{
    HWND target = focused_window();
    post_key_down(target, virtual_key, false);
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageW(target, WM_KEYUP, virtual_key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

void ProgramUnderTest::post_key_down(HWND target, UINT virtual_key, bool repeated)
{
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageW(target, WM_KEYDOWN, virtual_key, scan | 1 | (repeated ? LPARAM{1} << 30 : 0));
}

std::wstring ProgramUnderTest::editor_text() { return window_text(control(REPORT_EDITOR)); }

void ProgramUnderTest::set_editor_text(const std::wstring& text)
{
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(control(REPORT_EDITOR), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                          30000, &ignored);
}

bool ProgramUnderTest::window_visible() { return ::IsWindowVisible(main_window()) != FALSE; }

bool ProgramUnderTest::window_topmost()
{
    return (::GetWindowLongPtrW(main_window(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

std::vector<DialogView> ProgramUnderTest::dialogs()
{
    std::vector<DialogView> views;
    for (HWND window : top_level_windows(process_id_, L"#32770")) {
        if (!::IsWindowVisible(window)) {
            continue;
        }
        DialogView view;
        view.window = window;
        view.title = window_text(window);
        view.text = window_text(::GetDlgItem(window, 0xFFFF));
        ::EnumChildWindows(window, find_icon_static, reinterpret_cast<LPARAM>(&view));
        views.push_back(view);
    }
    return views;
}

bool ProgramUnderTest::wait_for_dialog(DialogView& dialog, DWORD timeout_ms)
{
    std::vector<DialogView> shown;
    wait_until(
        [this, &shown] {
            shown = dialogs();
            return !shown.empty() || !running(process_.get());
        },
        timeout_ms);
    if (shown.empty()) {
        return false;
    }
    dialog = shown.front();
    return true;
}

void ProgramUnderTest::press_ok(const DialogView& dialog)
{
    ::PostMessageW(::GetDlgItem(dialog.window, IDOK), BM_CLICK, 0, 0);
}

DWORD ProgramUnderTest::wait_exit(DWORD timeout_ms)
{
    if (!process_ || ::WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

CopiesApart::CopiesApart()
    : squatter_(::CreateMutexW(nullptr, FALSE, platform::single_copy_name().c_str())),
      holds_(squatter_ && ::GetLastError() != ERROR_ALREADY_EXISTS)
{
}

}  // namespace tovalen::testing
