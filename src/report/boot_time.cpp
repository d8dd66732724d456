#include "report/collectors.h"

#include "platform/programs.h"
#include "platform/system_folder.h"
#include "report/boot_text.h"

namespace tovalen {

namespace {

constexpr wchar_t NET_PROGRAM[] = L"net.exe";
constexpr wchar_t NET_ARGUMENTS[] = L"statistics workstation ";

// A child that has not ended by then is hung; the report must not wait for it any longer.
constexpr DWORD NET_TIME_LIMIT_MS = 10'000;

// The interrupt-time record in the shared user data page, at the same address in every process.
const volatile InterruptTimeRecord& shared_interrupt_time()
{
    return *reinterpret_cast<const volatile InterruptTimeRecord*>(static_cast<std::uintptr_t>(0x7FFE0008));
}

// net.exe from the system folder only: started by bare name it would be looked for in the
// program's folder and the current directory first, where anyone could have left one.
std::wstring net_command_line()
{
    const std::wstring folder = platform::system_folder();
    if (folder.empty()) {
        return {};
    }
    return L"\"" + folder + L"\\" + NET_PROGRAM + L"\" " + NET_ARGUMENTS;
}

std::string_view finished_lines(const platform::ChildOutput& child)
{
    const std::string_view output = child.output;
    if (child.finished) {
        return output;
    }
    const std::size_t last_line_feed = output.rfind('\n');
    return last_line_feed == std::string_view::npos ? std::string_view() : output.substr(0, last_line_feed + 1);
}

std::wstring long_time_text(const SYSTEMTIME& time)
{
    wchar_t text[128] = {};
    return ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, 128) != 0 ? std::wstring(text)
                                                                                         : std::wstring();
}

}  // namespace

std::wstring short_date_text(const SYSTEMTIME& time)
{
    wchar_t text[128] = {};
    return ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 128, nullptr) != 0
               ? std::wstring(text)
               : std::wstring();
}

std::int64_t read_interrupt_time() { return read_interrupt_time_record(shared_interrupt_time()); }

std::wstring boot_time_from_clock()
{
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER start{};
    start.LowPart = now.dwLowDateTime;
    start.HighPart = now.dwHighDateTime;
    start.QuadPart -= static_cast<ULONGLONG>(read_interrupt_time());
    const FILETIME start_time{start.LowPart, start.HighPart};
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    if (!::FileTimeToSystemTime(&start_time, &universal) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        return {};
    }
    // As the English output shows it: the short date, a blank and the long time.
    return short_date_text(local) + L" " + long_time_text(local);
}

std::wstring get_last_boot_text()
{
    const std::wstring command_line = net_command_line();
    if (command_line.empty()) {
        return {};
    }
    const platform::ChildOutput child = platform::run_hidden_for_output(command_line, NET_TIME_LIMIT_MS);
    if (!child.started) {
        return {};
    }
    // A child that printed its marker line and then hung has still told the start time; of a
    // child that was ended, only the lines it finished count.
    if (std::optional<std::wstring> cut = cut_boot_line(output_lines_text(finished_lines(child)))) {
        return *cut;
    }
    // Another language, a system without the statistics, or a child that hung before it said
    // anything: the system's own clock knows the start time too.
    return boot_time_from_clock();
}

}  // namespace tovalen
