// What the program is asked to do by its command line: run in the tray (no arguments), write the
// report to a file for a script, or show its usage. Free of Windows headers.
#pragma once

#include <string>
#include <vector>

namespace tovalen {

enum class RunMode {
    tray,              // no arguments: the tray program
    report_text,       // /report FILE
    report_json,       // /json FILE
    show_usage,        // /? alone: the usage in a message box
    bad_command_line,  // anything else
};

struct CommandLineRequest {
    RunMode mode = RunMode::tray;
    std::wstring file;     // for report_text and report_json; "-" is standard output
    std::wstring problem;  // for bad_command_line: what is wrong, in a few words
};

inline constexpr wchar_t STANDARD_OUTPUT_FILE[] = L"-";

inline constexpr wchar_t USAGE_LINE[] =
    L"usage: tovalen.exe [/report FILE | /json FILE | /?]   (FILE - is standard output)";

// The usage as the message box of /? shows it.
inline constexpr wchar_t USAGE_TEXT[] =
    L"tovalen.exe\tthe tray program\r\n"
    L"tovalen.exe /report FILE\twrites the report text to FILE (UTF-8)\r\n"
    L"tovalen.exe /json FILE\twrites the report's values to FILE as JSON\r\n"
    L"\r\n"
    L"FILE - writes to standard output. Nothing is shown while the report is written.\r\n"
    L"Exit codes: 0 written, 1 bad command line, 2 FILE could not be written.";

// The request of the arguments after the program's name. Switches are taken in any case.
CommandLineRequest read_command_line(const std::vector<std::wstring>& arguments);

}  // namespace tovalen
