// Where the build put its programs, as Windows paths.
#pragma once

#include <string>

namespace tovalen::testing {

// The build folder as the program under Wine sees it.
std::wstring build_directory();
// The program itself.
std::wstring tovalen_program_path();
// The folder of the running test program, which Windows searches first for a bare name.
std::wstring program_folder();
// A file of the build folder, given relative to it with forward slashes.
std::wstring build_file(const std::wstring& relative);

// The contents of a file written as UTF-16 code units without a byte-order mark (what the
// stand-in programs record); empty when it cannot be read.
std::wstring read_utf16_file(const std::wstring& path);

}  // namespace tovalen::testing
