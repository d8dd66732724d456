// The four pictures the program carries as complete icon files in its own data, and the three
// button pictures drawn again at larger scales.
#pragma once

#include <cstdint>
#include <span>

namespace tovalen {

// The icon file of an image number (TRAY_IMAGE ... MAIL_IMAGE); empty for any other number.
std::span<const std::uint8_t> embedded_image(int image_number);

// The icon file of a button picture (TICKET_IMAGE, PRINTER_IMAGE, MAIL_IMAGE) drawn at 150, 200
// and 300 %, one image each; empty for any other number.
std::span<const std::uint8_t> embedded_scaled_image(int image_number);

}  // namespace tovalen
