#include "platform/ico_directory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tovalen::platform {
namespace {

void put_u16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put_u32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

struct EntrySpec {
    std::uint8_t width;
    std::uint8_t height;
    std::uint16_t bits;
    std::uint32_t bytes;
};

// A file whose images are the given number of bytes each, laid out one after the other.
std::vector<std::uint8_t> ico_file(const std::vector<EntrySpec>& specs)
{
    std::size_t size = ICO_HEADER_SIZE + specs.size() * ICO_ENTRY_SIZE;
    for (const auto& s : specs) {
        size += s.bytes;
    }
    std::vector<std::uint8_t> file(size, 0);
    put_u16(file, 2, 1);
    put_u16(file, 4, static_cast<std::uint16_t>(specs.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(ICO_HEADER_SIZE + specs.size() * ICO_ENTRY_SIZE);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const std::size_t at = ICO_HEADER_SIZE + i * ICO_ENTRY_SIZE;
        file[at] = specs[i].width;
        file[at + 1] = specs[i].height;
        put_u16(file, at + 4, 1);
        put_u16(file, at + 6, specs[i].bits);
        put_u32(file, at + 8, specs[i].bytes);
        put_u32(file, at + 12, offset);
        offset += specs[i].bytes;
    }
    return file;
}

TEST(IcoDirectory, ReadsEveryEntry)
{
    const auto file = ico_file({{16, 16, 4, 296}, {0, 0, 32, 10}});
    const auto entries = read_ico_directory(file);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].width, 16);
    EXPECT_EQ((*entries)[0].bit_count, 4);
    EXPECT_EQ((*entries)[0].offset, 38u);
    EXPECT_EQ((*entries)[1].width, 256) << "a stored 0 means 256";
    EXPECT_EQ((*entries)[1].offset, 38u + 296u);
}

TEST(IcoDirectory, RejectsDamagedFiles)
{
    auto good = ico_file({{16, 16, 8, 100}});
    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
    };
    auto reserved_set = good;
    put_u16(reserved_set, 0, 1);
    auto wrong_type = good;
    put_u16(wrong_type, 2, 2);  // a cursor file
    auto no_images = good;
    put_u16(no_images, 4, 0);
    auto too_many = good;
    put_u16(too_many, 4, 3);
    auto past_end = good;
    put_u32(past_end, ICO_HEADER_SIZE + 8, 101);
    auto wrapping = good;
    put_u32(wrapping, ICO_HEADER_SIZE + 12, 0xFFFFFFF0u);
    auto empty_image = good;
    put_u32(empty_image, ICO_HEADER_SIZE + 8, 0);
    const Case cases[] = {
        {"empty", {}},
        {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + 6)},
        {"reserved word set", reserved_set},
        {"cursor type", wrong_type},
        {"no images", no_images},
        {"directory longer than file", too_many},
        {"image past the end", past_end},
        {"offset that wraps", wrapping},
        {"image without bytes", empty_image},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(read_ico_directory(c.file));
    }
}

TEST(IcoDirectory, BestEntryPrefersExactSizeThenMostColours)
{
    const std::vector<IcoEntry> entries = {
        {16, 16, 4, 1, 0}, {32, 32, 4, 1, 0}, {16, 16, 8, 1, 0}, {48, 48, 8, 1, 0}, {16, 16, 32, 1, 0},
        {20, 20, 32, 1, 0}, {24, 24, 32, 1, 0}, {40, 40, 32, 1, 0}, {48, 48, 32, 1, 0}, {64, 32, 32, 1, 0},
    };
    struct Case {
        int wanted;
        int width;
        int bits;
    };
    const Case cases[] = {{16, 16, 32}, {20, 20, 32}, {32, 32, 4}, {36, 40, 32}, {64, 48, 32}, {8, 16, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wanted);
        const auto best = best_ico_entry(entries, c.wanted, c.wanted);
        ASSERT_TRUE(best);
        EXPECT_EQ(best->width, c.width);
        EXPECT_EQ(best->bit_count, c.bits);
    }
    EXPECT_FALSE(best_ico_entry({}, 16, 16));
}

}  // namespace
}  // namespace tovalen::platform
