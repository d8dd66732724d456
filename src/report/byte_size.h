// Byte counts as short texts with a unit. Free of Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovalen {

// 1536 gives "1.50 KB": units are powers of 1024, two decimals cut (not rounded) below 100 of a
// unit, none from 100 on; from 1024^6 on there is no unit name and the text ends in a blank.
std::wstring format_byte_size(std::int64_t count);

// The number a text starts with: leading blanks skipped, then decimal digits up to the first
// other character; no digits give 0, and a number beyond the 64-bit range wraps.
std::int64_t leading_decimal_number(std::wstring_view text);

}  // namespace tovalen
