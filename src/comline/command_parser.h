// Turns a command such as "ExecQuery('Select * from Win32_SystemEnclosure')" or "a\b(1, 2) = 'x'"
// into member names and argument VARIANTs laid out for IDispatch::Invoke.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string_view>

#include "comline/command_text.h"

namespace tovalen::comline {

inline constexpr std::int64_t PART_ARGUMENT_SLOTS = 20;  // VARIANTs in each part's argument block

// A command parsed into its path of members. Entry 0 of every table is unused; parts run from 1
// to part_count. Part i's arguments fill the top argument_counts[i] elements of the 20-VARIANT
// block arguments[i] in reverse order, so that
//     rgvarg = arguments[i] + 20 - argument_counts[i],  cArgs = argument_counts[i]
// is what IDispatch::Invoke expects; an assigned value ("= value") is rgvarg[0].
// Owns its BSTRs, VARIANTs (and the references they hold) and blocks; release with
// free_parsed_command. Only parse_command makes one.
struct ParsedCommand {
    std::int64_t part_count;
    BSTR names[MAX_COMMAND_PARTS + 1];
    std::int64_t argument_counts[MAX_COMMAND_PARTS + 1];
    VARIANT* arguments[MAX_COMMAND_PARTS + 1];
};

// S_OK and the parsed command in *result, or a failure code (zero-extended HRESULT) and null.
// A failed parse leaves nothing behind and sets the calling thread's error record to success.
std::int64_t parse_command(std::wstring_view command, ParsedCommand** result);

// Fills the name, argument count and argument block of part `part` from the tokenized table.
HRESULT parse_command_part(ParsedCommand& command, std::int64_t part, const CommandTable& table);

// Releases everything the command owns, then the record itself. Null is ignored.
void free_parsed_command(ParsedCommand* command);

// Room for a one-part command, for an operation that parses and frees within one call: most
// commands have one part, and this spares their heap allocation.
struct OnePartCommandStorage {
    ParsedCommand command;
    VARIANT block[PART_ARGUMENT_SLOTS];
};

// As parse_command, but a one-part command is built in the given storage; a longer one goes to
// the heap as usual. Release the result with release_parsed_command and the same storage.
std::int64_t parse_command_into(std::wstring_view command, OnePartCommandStorage& storage, ParsedCommand** result);
void release_parsed_command(ParsedCommand* command, OnePartCommandStorage& storage);

}  // namespace tovalen::comline
