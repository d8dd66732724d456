// Placing a window and its controls at a display's DPI, and choosing the size of its pictures.
// Places are given in 96-DPI units and scaled; a window taller than the room on its screen lets
// its flexible control (one that scrolls) give up height, and the controls below that one move
// up and keep their size. Free of Windows headers so that it also builds natively for
// sanitizers and fuzzing.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace tovalen::platform {

inline constexpr int DESIGN_DPI = 96;

struct Box {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Box&) const = default;
};

struct LayoutRequest {
    int client_width = 0;                // 96-DPI units
    int client_height = 0;
    std::span<const Box> controls;       // 96-DPI units, client coordinates
    std::optional<std::size_t> flexible; // index into controls of the one that gives up height
    int dpi = DESIGN_DPI;
    int available_client_height = 0;     // device pixels the screen has room for
};

struct Layout {
    int client_width = 0;   // device pixels
    int client_height = 0;
    std::vector<Box> controls;
    bool operator==(const Layout&) const = default;
};

// A length in 96-DPI units in device pixels at the DPI, rounded to the nearest pixel (halves
// away from zero), as MulDiv rounds.
int scale_to_dpi(int value, int dpi);
Box scale_box(const Box& box, int dpi);

// Of a picture drawn at several sizes, given by their heights in pixels with the 96-DPI one
// first, the index of the one to show at the DPI: the tallest whose scale (its height over the
// 96-DPI one's) does not exceed the DPI's (dpi / 96), so that it never outgrows a control laid
// out at the DPI; the 96-DPI one (0) when none does. Pictures are shown at their drawn size,
// never stretched.
std::size_t picture_for_dpi(std::span<const int> drawn_heights, int dpi);

Layout fit_layout(const LayoutRequest& request);

}  // namespace tovalen::platform
