// The program started with a command line: the report written to a file or to standard output
// for a script or management tool, with nothing shown, or the usage.
#pragma once

#include "shell/command_line.h"

#include <string>
#include <string_view>
#include <vector>

namespace tovalen {

inline constexpr int EXIT_WRITTEN = 0;
inline constexpr int EXIT_BAD_COMMAND_LINE = 1;
inline constexpr int EXIT_NOT_WRITTEN = 2;

// The program's arguments, after its own name.
std::vector<std::wstring> command_line_arguments();

// Carries out every request but the tray one and returns the exit code. Never meets a running
// copy of the program.
int run_without_tray(const CommandLineRequest& request);

// Writes the whole contents to the file through a temporary file in the same folder that is then
// renamed over it, so that no reader sees half of it; "-" writes to standard output. Returns
// empty text when written, otherwise the reason. A temporary file is never left behind.
std::wstring write_whole_file(const std::wstring& file, std::string_view contents);

// One line on standard error, when the program has one.
void tell_on_standard_error(std::wstring_view line);

}  // namespace tovalen
