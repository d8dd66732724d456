#include "shell/embedded_images.h"

#include "platform/ico_directory.h"
#include "platform/window_layer.h"
#include "shell/shell.h"
#include "support/build_paths.h"
#include "support/program_under_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <span>
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
    std::span<const std::uint8_t> (*file)(int image_number);
    std::size_t size;
    std::vector<ImageFormat> formats;
};

const std::vector<ImageRow>& image_rows()
{
    static const std::vector<ImageRow> rows = {
        {TRAY_IMAGE,
         "tray",
         embedded_image,
         34526,
         {{16, 16, 4}, {32, 32, 4}, {16, 16, 8}, {32, 32, 8}, {48, 48, 8}, {16, 16, 32}, {20, 20, 32}, {24, 24, 32},
          {32, 32, 32}, {40, 40, 32}, {48, 48, 32}}},
        {TICKET_IMAGE, "ticket", embedded_image, 2446, {{60, 20, 8}}},
        {PRINTER_IMAGE, "printer", embedded_image, 2446, {{60, 20, 8}}},
        {MAIL_IMAGE, "mail", embedded_image, 3374, {{90, 22, 8}}},
        // Drawn again at 150, 200 and 300 %; the mail picture only as wide as its button.
        {TICKET_IMAGE, "ticket scaled", embedded_scaled_image, 12166, {{90, 30, 4}, {120, 40, 4}, {180, 60, 4}}},
        {PRINTER_IMAGE, "printer scaled", embedded_scaled_image, 12166, {{90, 30, 4}, {120, 40, 4}, {180, 60, 4}}},
        {MAIL_IMAGE, "mail scaled", embedded_scaled_image, 17306, {{120, 33, 4}, {160, 44, 4}, {240, 66, 4}}},
    };
    return rows;
}

// An icon's size, and the box around its opaque pixels (right and bottom exclusive), read from
// its transparency mask.
struct DrawnPart {
    int width = 0;
    int height = 0;
    RECT ink{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
};

DrawnPart drawn_part(HICON icon)
{
    const testing::IconPixels mask = testing::icon_pixels(icon, testing::IconPart::mask);
    DrawnPart part{mask.width, mask.height};
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if ((mask.at(x, y) & 0xFFFFFF) == 0) {
                part.ink = RECT{std::min<LONG>(part.ink.left, x), std::min<LONG>(part.ink.top, y),
                                std::max<LONG>(part.ink.right, x + 1), std::max<LONG>(part.ink.bottom, y + 1)};
            }
        }
    }
    return part;
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
        const auto file = row.file(row.image);
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
    EXPECT_TRUE(embedded_scaled_image(TRAY_IMAGE).empty());
    EXPECT_TRUE(embedded_scaled_image(9).empty());
}

TEST(EmbeddedImages, ThePlatformDecodesEveryImageAtItsSize)
{
    platform::WindowLayer layer;
    for (const ImageRow& row : image_rows()) {
        for (const ImageFormat& format : row.formats) {
            SCOPED_TRACE(std::string(row.name) + " " + std::to_string(format.width) + "x" +
                         std::to_string(format.height) + "@" + std::to_string(format.bits));
            HICON icon = layer.decode_image(row.image, row.file(row.image), format.width, format.height);
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

// From 100 to 300 %, each button shows its picture drawn for the largest scale not above the
// DPI's, and the button holds all of its drawing: shown centred, its opaque pixels lie on it.
TEST(EmbeddedImages, EachButtonHoldsThePictureDrawnForTheDpiWhole)
{
    platform::WindowLayer layer;
    ASSERT_TRUE(layer.initialise());
    HWND window = layer.open_window(MAIN_WINDOW, 0, 0, 300, 520, L"pictures",
                                    platform::WindowStyle{.invisible = true, .caption_and_system_menu = true});
    ASSERT_EQ(layer.dpi(), 96) << "the test runs at the system's 96 DPI";
    struct Button {
        int number, image, left, height_at_96;
    };
    const Button buttons[] = {
        {TICKET_BUTTON, TICKET_IMAGE, 20, 20}, {PRINTER_BUTTON, PRINTER_IMAGE, 110, 20}, {MAIL_BUTTON, MAIL_IMAGE, 200, 22}};
    for (const Button& b : buttons) {
        HICON picture = layer.decode_picture(b.image, embedded_image(b.image), embedded_scaled_image(b.image));
        ASSERT_NE(layer.create_image_button(b.number, b.left, 482, 80, 35, picture), nullptr);
    }
    struct Row {
        int dpi, percent;
    };
    for (const Row row : {Row{96, 100}, Row{120, 100}, Row{144, 150}, Row{168, 150}, Row{192, 200}, Row{216, 200},
                          Row{240, 200}, Row{264, 200}, Row{288, 300}}) {
        RECT suggested{0, 0, 4000, 4000};
        ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(row.dpi, row.dpi), reinterpret_cast<LPARAM>(&suggested));
        for (const Button& b : buttons) {
            SCOPED_TRACE(::testing::Message() << row.dpi << " DPI, button " << b.number);
            HWND button = layer.window_handle(b.number);
            const DrawnPart part = drawn_part(reinterpret_cast<HICON>(::SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0)));
            EXPECT_EQ(part.height, b.height_at_96 * row.percent / 100);
            RECT face{};
            ::GetClientRect(button, &face);
            // Centred: twice the picture's offset on the button is the difference of their sizes.
            const LONG dx2 = face.right - part.width;
            const LONG dy2 = face.bottom - part.height;
            EXPECT_TRUE(2 * part.ink.left + dx2 >= 0 && 2 * part.ink.right + dx2 <= 2 * face.right &&
                        2 * part.ink.top + dy2 >= 0 && 2 * part.ink.bottom + dy2 <= 2 * face.bottom)
                << "drawing " << part.ink.left << "," << part.ink.top << " - " << part.ink.right << ","
                << part.ink.bottom << " of a " << part.width << "x" << part.height << " picture on a "
                << face.right << "x" << face.bottom << " button";
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
