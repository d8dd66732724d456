// Bytes as upper-case hexadecimal digit pairs, as the registry's binary values, hardware
// addresses and percent-encoded mail text show them. Free of Windows headers.
#pragma once

#include <cstdint>
#include <string>

namespace tovalen {

inline void append_hex_byte(std::wstring& text, std::uint8_t byte)
{
    static constexpr wchar_t HEX_DIGITS[] = L"0123456789ABCDEF";
    text.push_back(HEX_DIGITS[byte >> 4]);
    text.push_back(HEX_DIGITS[byte & 0x0F]);
}

}  // namespace tovalen
