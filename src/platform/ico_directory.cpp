#include "platform/ico_directory.h"

#include <tuple>

namespace tovalen::platform {

namespace {

std::uint16_t read_u16(std::span<const std::uint8_t> data, std::size_t at)
{
    return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

std::uint32_t read_u32(std::span<const std::uint8_t> data, std::size_t at)
{
    return static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8) |
           (static_cast<std::uint32_t>(data[at + 2]) << 16) | (static_cast<std::uint32_t>(data[at + 3]) << 24);
}

int dimension(std::uint8_t stored) { return stored == 0 ? 256 : stored; }

}  // namespace

std::optional<std::vector<IcoEntry>> read_ico_directory(std::span<const std::uint8_t> file)
{
    if (file.size() < ICO_HEADER_SIZE || read_u16(file, 0) != 0 || read_u16(file, 2) != 1) {
        return std::nullopt;
    }
    const std::size_t count = read_u16(file, 4);
    if (count == 0 || file.size() < ICO_HEADER_SIZE + count * ICO_ENTRY_SIZE) {
        return std::nullopt;
    }
    std::vector<IcoEntry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = ICO_HEADER_SIZE + i * ICO_ENTRY_SIZE;
        IcoEntry entry;
        entry.width = dimension(file[at]);
        entry.height = dimension(file[at + 1]);
        entry.bit_count = read_u16(file, at + 6);
        entry.bytes = read_u32(file, at + 8);
        entry.offset = read_u32(file, at + 12);
        // Compared in 64 bits so that offset + bytes cannot wrap.
        if (entry.bytes == 0 || static_cast<std::uint64_t>(entry.offset) + entry.bytes > file.size()) {
            return std::nullopt;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::optional<IcoEntry> best_ico_entry(const std::vector<IcoEntry>& entries, int wanted_width, int wanted_height)
{
    const IcoEntry* best = nullptr;
    // Lower ranks are better: exact fit first, then the smallest larger, then the largest smaller.
    auto rank = [&](const IcoEntry& e) {
        const bool exact = e.width == wanted_width && e.height == wanted_height;
        const bool larger = e.width >= wanted_width && e.height >= wanted_height;
        const int group = exact ? 0 : (larger ? 1 : 2);
        const int size_order = group == 1 ? e.width * e.height : -(e.width * e.height);
        return std::make_tuple(group, size_order, -e.bit_count);
    };
    for (const IcoEntry& e : entries) {
        if (best == nullptr || rank(e) < rank(*best)) {
            best = &e;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return *best;
}

}  // namespace tovalen::platform
