// The program started with a command line: the report written to a file or to standard output
// for a script or management tool, with nothing shown, or the usage.
#pragma once

#include "shell/command_line.h"

#include <string>
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

}  // namespace tovalen
