// The program file named by a command line as the Run key holds it.
#pragma once

#include <string>
#include <string_view>

namespace tovalen::packaging {

// The program of a command: the quoted text up to its closing quote when the command starts
// with a quote, else everything up to the first blank. An opening quote that is never closed
// quotes the rest of the command, as the system reads such a command line (Wine's installer
// hands a quoted registry text over without its last quote). Empty for an empty or blank
// command.
std::wstring program_of_run_command(std::wstring_view command);

}  // namespace tovalen::packaging
