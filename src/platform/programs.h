// Starting other programs: opening a file or URL the way the user would, and running a console
// program hidden to read what it prints.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tovalen::platform {

// Starts the file as a program (quoted unless it already begins with a quote, then a blank and
// the parameters when there are any); when that fails, hands file and parameters to the shell's
// open operation without any error dialog. Waits for neither. True when something was started.
// The file is a full path, a URL or a share: a bare program name would be looked for in the
// program's own folder first, where anyone may have left a file of that name.
bool start_program(std::wstring_view file, std::wstring_view parameters, std::wstring_view working_directory);

// Hands file and parameters to the shell's open operation, without any error dialog: a URL goes
// to the program the user chose for it. True when the shell took it.
bool shell_open(std::wstring_view file, std::wstring_view parameters, std::wstring_view working_directory);

// The command line start_program tries first.
std::wstring program_command_line(std::wstring_view file, std::wstring_view parameters);

struct ChildOutput {
    bool started = false;   // false: the program could not be started at all
    bool finished = false;  // false: it was ended after running past the time limit
    DWORD exit_code = 0;    // the child's own exit code when it finished
    std::string output;     // everything it wrote to its standard output
};

// Runs a command line with no window, its standard output on a pipe read to the end, in the
// system folder. It inherits the pipe and this program's standard error (when that can be passed
// on) and no other handle. A child still running after the time limit is ended; what it wrote
// until then is kept.
ChildOutput run_hidden_for_output(std::wstring_view command_line, DWORD time_limit_ms);

}  // namespace tovalen::platform
