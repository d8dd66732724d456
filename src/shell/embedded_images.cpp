#include "shell/embedded_images.h"

#include "shell/shell.h"

#include <cstddef>

namespace tovalen::images {
extern const std::uint8_t tray_ico[];
extern const std::size_t tray_ico_size;
extern const std::uint8_t ticket_ico[];
extern const std::size_t ticket_ico_size;
extern const std::uint8_t printer_ico[];
extern const std::size_t printer_ico_size;
extern const std::uint8_t mail_ico[];
extern const std::size_t mail_ico_size;
extern const std::uint8_t ticket_scaled_ico[];
extern const std::size_t ticket_scaled_ico_size;
extern const std::uint8_t printer_scaled_ico[];
extern const std::size_t printer_scaled_ico_size;
extern const std::uint8_t mail_scaled_ico[];
extern const std::size_t mail_scaled_ico_size;
}  // namespace tovalen::images

namespace tovalen {

std::span<const std::uint8_t> embedded_image(int image_number)
{
    switch (image_number) {
    case TRAY_IMAGE:
        return {images::tray_ico, images::tray_ico_size};
    case TICKET_IMAGE:
        return {images::ticket_ico, images::ticket_ico_size};
    case PRINTER_IMAGE:
        return {images::printer_ico, images::printer_ico_size};
    case MAIL_IMAGE:
        return {images::mail_ico, images::mail_ico_size};
    default:
        return {};
    }
}

std::span<const std::uint8_t> embedded_scaled_image(int image_number)
{
    switch (image_number) {
    case TICKET_IMAGE:
        return {images::ticket_scaled_ico, images::ticket_scaled_ico_size};
    case PRINTER_IMAGE:
        return {images::printer_scaled_ico, images::printer_scaled_ico_size};
    case MAIL_IMAGE:
        return {images::mail_scaled_ico, images::mail_scaled_ico_size};
    default:
        return {};
    }
}

}  // namespace tovalen
