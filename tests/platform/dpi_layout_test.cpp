#include "platform/dpi_layout.h"

#include "support/report_window_layouts.h"

#include <gtest/gtest.h>

namespace tovalen::platform {
namespace {

// The report window's places in 96-DPI units: the editor, then the three buttons.
constexpr Box REPORT_CONTROLS[] = {{1, 1, 298, 480}, {20, 482, 80, 35}, {110, 482, 80, 35}, {200, 482, 80, 35}};
constexpr Box CONTROL_AT_THE_EDGE[] = {{1, 1, 298, 480}, {20, 481, 80, 35}};

// The shared table's row for the DPI, as a layout.
Layout laid_out_at(int dpi)
{
    const auto& row = testing::report_window_layout(dpi);
    Layout layout{row.client_width, row.client_height, {}};
    for (const auto& box : row.controls) {
        layout.controls.push_back({box.left, box.top, box.width, box.height});
    }
    return layout;
}

TEST(DpiLayout, ScalesLengthsToTheNearestPixel)
{
    struct Row {
        int value, dpi, pixels;
    };
    for (const Row row : {Row{300, 96, 300}, Row{300, 120, 375}, Row{520, 144, 780}, Row{520, 192, 1040},
                          Row{1, 120, 1}, Row{1, 144, 2}, Row{35, 120, 44}, Row{35, 144, 53}, Row{0, 192, 0},
                          Row{-3, 144, -5}, Row{7, 72, 5}}) {
        SCOPED_TRACE(::testing::Message() << row.value << " at " << row.dpi);
        EXPECT_EQ(scale_to_dpi(row.value, row.dpi), row.pixels);
    }
}

TEST(DpiLayout, PicturesAreTheLargestDrawnNotAboveTheDpisScale)
{
    // The button pictures' heights at 100, 150, 200 and 300 %, in another order than their scales.
    constexpr int HEIGHTS[] = {20, 40, 30, 60};
    struct Row {
        int dpi, height;
    };
    for (const Row row : {Row{96, 20}, Row{120, 20}, Row{143, 20}, Row{144, 30}, Row{168, 30}, Row{191, 30},
                          Row{192, 40}, Row{216, 40}, Row{240, 40}, Row{264, 40}, Row{287, 40}, Row{288, 60},
                          Row{480, 60}, Row{72, 20}, Row{0, 20}, Row{-96, 20}}) {
        SCOPED_TRACE(row.dpi);
        EXPECT_EQ(HEIGHTS[picture_for_dpi(HEIGHTS, row.dpi)], row.height);
    }
    constexpr int ONLY_96_DPI[] = {22};
    EXPECT_EQ(picture_for_dpi(ONLY_96_DPI, 288), 0u);
    EXPECT_EQ(picture_for_dpi({}, 288), 0u);
}

TEST(DpiLayout, ReportWindowAtEachDpiWithRoomOrTooLittle)
{
    struct Row {
        int dpi;
        int available;
        Layout expected;
        std::span<const Box> controls = REPORT_CONTROLS;
        std::optional<std::size_t> flexible = 0;
    };
    const Row rows[] = {
        {96, 10000, laid_out_at(96)},
        {120, 650, laid_out_at(120)},
        {144, 780, laid_out_at(144)},
        {192, 5000, laid_out_at(192)},
        // Too little room: the editor gives up the shortage, the buttons keep their height below it.
        {144, 750, {450, 750, {{2, 2, 447, 690}, {30, 693, 120, 53}, {165, 693, 120, 53}, {300, 693, 120, 53}}}},
        {192, 740, {600, 740, {{2, 2, 596, 660}, {40, 664, 160, 70}, {220, 664, 160, 70}, {400, 664, 160, 70}}}},
        // No room at all: the editor cannot give up more than it has.
        {96, 10, {300, 40, {{1, 1, 298, 0}, {20, 2, 80, 35}, {110, 2, 80, 35}, {200, 2, 80, 35}}}},
        // The last control may be the flexible one; an index past the end names none.
        {96, 500, {300, 500, {{1, 1, 298, 480}, {20, 482, 80, 35}, {110, 482, 80, 35}, {200, 482, 80, 15}}},
         REPORT_CONTROLS, 3},
        {96, 10, {300, 520, {{1, 1, 298, 480}, {20, 482, 80, 35}, {110, 482, 80, 35}, {200, 482, 80, 35}}},
         REPORT_CONTROLS, 4},
        // A control that begins exactly at the flexible one's bottom edge is below it and moves up.
        {96, 500, {300, 500, {{1, 1, 298, 460}, {20, 461, 80, 35}}}, CONTROL_AT_THE_EDGE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.dpi << " DPI, room for " << row.available << ", flexible "
                                          << ::testing::PrintToString(row.flexible) << " of " << row.controls.size());
        const Layout layout = fit_layout(LayoutRequest{300, 520, row.controls, row.flexible, row.dpi, row.available});
        EXPECT_EQ(layout.client_width, row.expected.client_width);
        EXPECT_EQ(layout.client_height, row.expected.client_height);
        EXPECT_EQ(layout.controls, row.expected.controls);
    }
}

TEST(DpiLayout, WithoutAFlexibleControlNothingGivesUpHeight)
{
    const Layout layout = fit_layout(LayoutRequest{300, 520, REPORT_CONTROLS, std::nullopt, 192, 500});
    EXPECT_EQ(layout.client_height, 1040);
    EXPECT_EQ(layout.controls[0], (Box{2, 2, 596, 960}));
}

}  // namespace
}  // namespace tovalen::platform
