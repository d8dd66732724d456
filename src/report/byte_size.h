// Byte counts as short texts with a unit. Free of Windows headers.
#pragma once

#include <cstdint>
#include <string>

namespace tovalen {

// 1536 gives "1.50 KB": units are powers of 1024, two decimals cut (not rounded) below 100 of a
// unit, none from 100 on; from 1024^6 on there is no unit name and the text ends in a blank.
std::wstring format_byte_size(std::int64_t count);

}  // namespace tovalen
