// Where the build put its programs, as Windows paths.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tovalen::testing {

// The build folder as the program under Wine sees it.
std::wstring build_directory();
// The program itself.
std::wstring tovalen_program_path();
// The folder of the running test program, which Windows searches first for a bare name.
std::wstring program_folder();
// A file of the build folder, given relative to it with forward slashes.
std::wstring build_file(const std::wstring& relative);

// Whether anything, file or folder, is at the path.
bool path_exists(const std::wstring& path);
// A file's bytes; empty when it cannot be read.
std::string file_bytes(const std::wstring& path);
// The contents of a file written as UTF-16 code units without a byte-order mark (what the
// stand-in programs record); empty when it cannot be read.
std::wstring read_utf16_file(const std::wstring& path);

}  // namespace tovalen::testing

namespace tovalen::testing {

// The members of a JSON file of the build folder (given relative to it, with forward slashes) as
// the host's Python decodes them: its own decoder, apart from the program's. Name and text of
// each, in the file's order; a single member "error" with the reason when it does not decode.
std::vector<std::pair<std::wstring, std::wstring>> decode_json_on_host(const std::string& relative);

}  // namespace tovalen::testing
