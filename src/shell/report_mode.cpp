#include "shell/report_mode.h"

#include "comline/comline.h"
#include "platform/handles.h"
#include "platform/safe_file.h"
#include "platform/system_calls.h"
#include "platform/system_folder.h"
#include "report/collectors.h"
#include "report/report.h"
#include "report/report_files.h"
#include "tovalen_version.h"

#include <shellapi.h>

#include <new>

namespace tovalen {

namespace {

constexpr wchar_t PROGRAM_PREFIX[] = L"tovalen: ";

// A program started by a script has its caller's handles, when the caller redirected them; one
// started from a desktop has none, and then there is nothing to write to.
HANDLE standard_handle(DWORD which)
{
    HANDLE handle = ::GetStdHandle(which);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// One line on standard error, when the program has one.
void tell_on_standard_error(std::wstring_view line)
{
    HANDLE error = standard_handle(STD_ERROR_HANDLE);
    if (error == nullptr) {
        return;
    }
    std::wstring text(PROGRAM_PREFIX);
    text += line;
    text += L"\r\n";
    DWORD mode = 0;
    if (::GetConsoleMode(error, &mode)) {
        DWORD written = 0;
        ::WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    platform::write_all(error, utf8_text(text));
}

// What a collector would have shown in a message box, as one line on standard error instead.
int WINAPI message_to_standard_error(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    std::wstring line(text != nullptr ? text : L"");
    for (wchar_t& c : line) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    // "A.\r\nB" becomes "A.  B": one blank between the sentences is enough.
    for (std::size_t at = line.find(L"  "); at != std::wstring::npos; at = line.find(L"  ", at)) {
        line.erase(at, 1);
    }
    tell_on_standard_error(line);
    return IDOK;
}

// Never empty: an empty reason would read as success.
std::wstring failure_reason(DWORD error)
{
    std::wstring reason = system_message(error);
    return reason.empty() ? L"error " + std::to_wstring(error) : reason;
}


// The whole contents in one step, so that no reader sees half of it; "-" writes to standard
// output. Empty text when written, otherwise the reason.
std::wstring write_whole_file(const std::wstring& file, std::string_view contents)
{
    if (file == STANDARD_OUTPUT_FILE) {
        HANDLE output = standard_handle(STD_OUTPUT_HANDLE);
        if (output == nullptr) {
            return L"there is no standard output";
        }
        const DWORD error = platform::write_all(output, contents);
        return error == ERROR_SUCCESS ? std::wstring() : failure_reason(error);
    }
    const platform::WriteOutcome outcome = platform::replace_file_contents(file, contents);
    return outcome.error != ERROR_SUCCESS ? failure_reason(outcome.error) : outcome.refusal;
}

std::string collected_at_now()
{
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return utc_timestamp_text(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

std::string render_report(RunMode mode)
{
    const std::string collected_at = collected_at_now();
    // A serial number seen by an earlier build in this process is no answer for this one.
    last_serial_number.clear();
    ReportValues values;
    collect_report_values(values);
    const std::wstring last_boot = get_last_boot_text();
    if (mode == RunMode::report_json) {
        return report_json_file(values, last_boot, TOVALEN_VERSION_TEXT, collected_at);
    }
    return report_text_file(values, last_boot);
}

int write_report(const CommandLineRequest& request)
{
    platform::keep_searches_to_the_system();
    platform::trust_no_user_redirection();
    const platform::CoInitGuard com;
    comline::make_bstr = comline::allocate_bstr;
    platform::system_calls().message_box = &message_to_standard_error;
    unattended_collection = true;

    std::string contents;
    try {
        contents = render_report(request.mode);
    } catch (const std::bad_alloc&) {
        tell_on_standard_error(L"not enough memory for the report");
        return EXIT_NOT_WRITTEN;
    }
    release_network_library();
    const std::wstring reason = write_whole_file(request.file, contents);
    if (!reason.empty()) {
        tell_on_standard_error(L"cannot write " + request.file + L": " + reason);
        return EXIT_NOT_WRITTEN;
    }
    return EXIT_WRITTEN;
}

}  // namespace

std::vector<std::wstring> command_line_arguments()
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const platform::UniqueLocalMemory owner(arguments);
    std::vector<std::wstring> result;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        result.emplace_back(arguments[i]);
    }
    return result;
}

int run_without_tray(const CommandLineRequest& request)
{
    switch (request.mode) {
    case RunMode::show_usage:
        platform::show_message(USAGE_TEXT, L"Tovalen", MB_ICONINFORMATION);
        return EXIT_WRITTEN;
    case RunMode::report_text:
    case RunMode::report_json:
        return write_report(request);
    case RunMode::bad_command_line:
    case RunMode::tray:
        break;
    }
    tell_on_standard_error(request.problem);
    tell_on_standard_error(USAGE_LINE);
    return EXIT_BAD_COMMAND_LINE;
}

}  // namespace tovalen
