#include "shell/embedded_images.h"

#include "platform/ico_directory.h"
#include "platform/window_layer.h"
#include "shell/shell.h"
#include "support/build_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tovalen {
namespace {

struct ImageFormat {
    int width;
    int height;
    int bits;
};

struct ImageRow {
    int image;
    const char* name;
    std::size_t size;
    std::vector<ImageFormat> formats;
};

const std::vector<ImageRow>& image_rows()
{
    static const std::vector<ImageRow> rows = {
        {TRAY_IMAGE,
         "tray",
         34526,
         {{16, 16, 4}, {32, 32, 4}, {16, 16, 8}, {32, 32, 8}, {48, 48, 8}, {16, 16, 32}, {20, 20, 32}, {24, 24, 32},
          {32, 32, 32}, {40, 40, 32}, {48, 48, 32}}},
        {TICKET_IMAGE, "ticket", 2446, {{60, 20, 8}}},
        {PRINTER_IMAGE, "printer", 2446, {{60, 20, 8}}},
        {MAIL_IMAGE, "mail", 3374, {{90, 22, 8}}},
    };
    return rows;
}

std::uint32_t read_u32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

TEST(EmbeddedImages, EachFileHasItsSizeHeaderAndDirectory)
{
    for (const ImageRow& row : image_rows()) {
        SCOPED_TRACE(row.name);
        const auto file = embedded_image(row.image);
        ASSERT_EQ(file.size(), row.size);
        const auto entries = platform::read_ico_directory(file);
        ASSERT_TRUE(entries);
        ASSERT_EQ(entries->size(), row.formats.size());
        std::uint32_t expected_offset = static_cast<std::uint32_t>(6 + 16 * row.formats.size());
        for (std::size_t i = 0; i < entries->size(); ++i) {
            SCOPED_TRACE(i);
            const platform::IcoEntry& entry = (*entries)[i];
            EXPECT_EQ(entry.width, row.formats[i].width);
            EXPECT_EQ(entry.height, row.formats[i].height);
            EXPECT_EQ(entry.bit_count, row.formats[i].bits);
            EXPECT_EQ(entry.offset, expected_offset) << "images follow one another without gaps";
            expected_offset += entry.bytes;
            const std::uint8_t* header = file.data() + entry.offset;
            EXPECT_EQ(read_u32(header), 40u) << "bitmap header size";
            EXPECT_EQ(static_cast<int>(read_u32(header + 4)), entry.width);
            EXPECT_EQ(static_cast<int>(read_u32(header + 8)), 2 * entry.height) << "colour bits and mask";
            EXPECT_EQ(header[14], entry.bit_count);
            EXPECT_EQ(read_u32(header + 16), 0u) << "uncompressed";
        }
        EXPECT_EQ(expected_offset, row.size) << "the last image ends the file";
    }
    EXPECT_TRUE(embedded_image(4).empty());
    EXPECT_TRUE(embedded_image(9).empty());
}

TEST(EmbeddedImages, ThePlatformDecodesEveryImageAtItsSize)
{
    platform::WindowLayer layer;
    for (const ImageRow& row : image_rows()) {
        for (const ImageFormat& format : row.formats) {
            SCOPED_TRACE(std::string(row.name) + " " + std::to_string(format.width) + "x" +
                         std::to_string(format.height) + "@" + std::to_string(format.bits));
            HICON icon = layer.decode_image(row.image, embedded_image(row.image), format.width, format.height);
            ASSERT_NE(icon, nullptr);
            ICONINFO info{};
            ASSERT_TRUE(::GetIconInfo(icon, &info));
            BITMAP mask{};
            ::GetObjectW(info.hbmMask, sizeof mask, &mask);
            EXPECT_EQ(mask.bmWidth, format.width);
            if (info.hbmColor != nullptr) {
                BITMAP colour{};
                ::GetObjectW(info.hbmColor, sizeof colour, &colour);
                EXPECT_EQ(colour.bmHeight, format.height);
                ::DeleteObject(info.hbmColor);
            }
            ::DeleteObject(info.hbmMask);
        }
    }
}

// The program's icon resource carries the same images as the tray picture.
TEST(EmbeddedImages, ProgramIconResourceHoldsTheTrayImages)
{
    platform::UniqueLibrary program(
        ::LoadLibraryExW(testing::tovalen_program_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(program);
    HRSRC group_resource = ::FindResourceW(program.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group_resource, nullptr);
    const auto* group = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(program.get(), group_resource)));
    ASSERT_NE(group, nullptr);
    const int count = group[4] | (group[5] << 8);
    const auto tray = embedded_image(TRAY_IMAGE);
    const auto entries = platform::read_ico_directory(tray);
    ASSERT_TRUE(entries);
    ASSERT_EQ(count, static_cast<int>(entries->size()));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        const std::uint8_t* item = group + 6 + 14 * i;  // 14-byte entries ending in the resource number
        const int resource_number = item[12] | (item[13] << 8);
        HRSRC image_resource = ::FindResourceW(program.get(), MAKEINTRESOURCEW(resource_number), MAKEINTRESOURCEW(3));
        ASSERT_NE(image_resource, nullptr);
        const auto* bits = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(program.get(), image_resource)));
        const DWORD size = ::SizeofResource(program.get(), image_resource);
        const platform::IcoEntry& entry = (*entries)[static_cast<std::size_t>(i)];
        ASSERT_EQ(size, entry.bytes);
        EXPECT_EQ(std::memcmp(bits, tray.data() + entry.offset, size), 0);
    }
}

}  // namespace
}  // namespace tovalen
