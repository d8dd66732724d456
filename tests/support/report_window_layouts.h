// The report window at the scalings the layout tests share, worked out by hand from its 96-DPI
// design (each length times the scale, halves rounded away from zero): the client size before any
// fitting to a screen, then the editor's and the three buttons' places in client pixels.
#pragma once

#include <stdexcept>

namespace tovalen::testing {

struct PixelBox {
    int left, top, width, height;
};

struct ReportWindowLayout {
    int dpi;
    int client_width, client_height;
    PixelBox controls[4];  // the editor, then the buttons left to right
};

inline constexpr ReportWindowLayout REPORT_WINDOW_LAYOUTS[] = {
    {96, 300, 520, {{1, 1, 298, 480}, {20, 482, 80, 35}, {110, 482, 80, 35}, {200, 482, 80, 35}}},
    {120, 375, 650, {{1, 1, 373, 600}, {25, 603, 100, 44}, {138, 603, 100, 44}, {250, 603, 100, 44}}},
    {144, 450, 780, {{2, 2, 447, 720}, {30, 723, 120, 53}, {165, 723, 120, 53}, {300, 723, 120, 53}}},
    {192, 600, 1040, {{2, 2, 596, 960}, {40, 964, 160, 70}, {220, 964, 160, 70}, {400, 964, 160, 70}}},
};

inline const ReportWindowLayout& report_window_layout(int dpi)
{
    for (const ReportWindowLayout& layout : REPORT_WINDOW_LAYOUTS) {
        if (layout.dpi == dpi) {
            return layout;
        }
    }
    throw std::out_of_range("no report window layout for that DPI");
}

}  // namespace tovalen::testing
