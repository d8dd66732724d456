// Reading the directory of an icon file held in memory. Free of Windows headers so that it also
// builds natively for sanitizers and fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tovalen::platform {

struct IcoEntry {
    int width = 0;         // 256 where the file stores 0
    int height = 0;
    int bit_count = 0;
    std::uint32_t bytes = 0;   // size of the image data
    std::uint32_t offset = 0;  // from the start of the file
};

inline constexpr std::size_t ICO_HEADER_SIZE = 6;
inline constexpr std::size_t ICO_ENTRY_SIZE = 16;

// The entries of a complete icon file, or nothing when the header is not an icon header or an
// entry points outside the data.
std::optional<std::vector<IcoEntry>> read_ico_directory(std::span<const std::uint8_t> file);

// The entry that shows best at the wanted size: an exact size with the most colours, else the
// smallest larger image, else the largest one. Empty entries give nothing.
std::optional<IcoEntry> best_ico_entry(const std::vector<IcoEntry>& entries, int wanted_width, int wanted_height);

}  // namespace tovalen::platform
