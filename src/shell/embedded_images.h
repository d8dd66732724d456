// The four pictures the program carries as complete icon files in its own data.
#pragma once

#include <cstdint>
#include <span>

namespace tovalen {

// The icon file of an image number (TRAY_IMAGE ... MAIL_IMAGE); empty for any other number.
std::span<const std::uint8_t> embedded_image(int image_number);

}  // namespace tovalen
