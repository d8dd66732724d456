#include "platform/dpi_layout.h"

#include <algorithm>
#include <cstdint>

namespace tovalen::platform {

int scale_to_dpi(int value, int dpi)
{
    const std::int64_t product = static_cast<std::int64_t>(value) * dpi;
    const std::int64_t half = DESIGN_DPI / 2;
    const std::int64_t rounded = product >= 0 ? (product + half) / DESIGN_DPI : -((-product + half) / DESIGN_DPI);
    return static_cast<int>(rounded);
}

Box scale_box(const Box& box, int dpi)
{
    return Box{scale_to_dpi(box.left, dpi), scale_to_dpi(box.top, dpi), scale_to_dpi(box.width, dpi),
               scale_to_dpi(box.height, dpi)};
}

std::size_t picture_for_dpi(std::span<const int> drawn_heights, int dpi)
{
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < drawn_heights.size(); ++i) {
        // height / 96-DPI height <= dpi / 96, in whole numbers.
        const bool within = static_cast<std::int64_t>(drawn_heights[i]) * DESIGN_DPI <=
                            static_cast<std::int64_t>(drawn_heights[0]) * dpi;
        if (within && drawn_heights[i] > drawn_heights[chosen]) {
            chosen = i;
        }
    }
    return chosen;
}

Layout fit_layout(const LayoutRequest& request)
{
    Layout layout{scale_to_dpi(request.client_width, request.dpi), scale_to_dpi(request.client_height, request.dpi),
                  {}};
    for (const Box& box : request.controls) {
        layout.controls.push_back(scale_box(box, request.dpi));
    }
    if (!request.flexible || *request.flexible >= request.controls.size()) {
        return layout;
    }
    Box& flexible = layout.controls[*request.flexible];
    const int shortage =
        std::clamp(layout.client_height - request.available_client_height, 0, std::max(flexible.height, 0));
    if (shortage == 0) {
        return layout;
    }
    const Box& design_flexible = request.controls[*request.flexible];
    const int flexible_bottom = design_flexible.top + design_flexible.height;
    for (std::size_t i = 0; i < layout.controls.size(); ++i) {
        if (i != *request.flexible && request.controls[i].top >= flexible_bottom) {
            layout.controls[i].top -= shortage;
        }
    }
    flexible.height -= shortage;
    layout.client_height -= shortage;
    return layout;
}

}  // namespace tovalen::platform
