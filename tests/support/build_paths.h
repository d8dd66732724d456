// Where the build put its programs, as Windows paths.
#pragma once

#include <string>

namespace tovalen::testing {

// The build folder as the program under Wine sees it.
std::wstring build_directory();
// The program itself.
std::wstring tovalen_program_path();
// A file of the build folder, given relative to it with forward slashes.
std::wstring build_file(const std::wstring& relative);

}  // namespace tovalen::testing
