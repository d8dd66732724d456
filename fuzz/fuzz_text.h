// Turns fuzzer bytes into the UTF-16 text the command language works on: each pair of bytes is
// one code unit, whatever the width of wchar_t on the fuzzing platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tovalen::fuzz {

inline std::wstring utf16_units(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
    }
    return text;
}

// A broken property is a crash the fuzzer keeps, with the reason on stderr.
inline void require(bool holds, const char* property)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

}  // namespace tovalen::fuzz
