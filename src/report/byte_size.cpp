#include "report/byte_size.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace tovalen {

namespace {

constexpr std::array<std::wstring_view, 6> UNITS{L"bytes", L"KB", L"MB", L"GB", L"TB", L"PB"};

std::wstring widen(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// The quotient written with exactly 15 decimals, then cut: the integer part alone from three
// digits on, else the integer part and two decimals.
std::string cut_quotient(double quotient)
{
    std::array<char, 400> digits{};
    const auto written =
        std::to_chars(digits.data(), digits.data() + digits.size(), quotient, std::chars_format::fixed, 15);
    const std::string_view text(digits.data(), static_cast<std::size_t>(written.ptr - digits.data()));
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) {
        return std::string(text);
    }
    const std::size_t position = point + 1;  // 1-based position of the point
    if (position >= 4) {
        return std::string(text.substr(0, point));
    }
    return std::string(text.substr(0, position + 2));
}

}  // namespace

std::wstring format_byte_size(std::int64_t count)
{
    std::int64_t v = count;
    int power = 0;
    while (v >= 1024) {
        v /= 1024;
        ++power;
    }
    std::wstring text;
    if (power == 0) {
        text = std::to_wstring(count);
    } else {
        const double quotient = static_cast<double>(count) / std::pow(1024.0, power);
        text = widen(cut_quotient(quotient));
    }
    text += L' ';
    if (static_cast<std::size_t>(power) < UNITS.size()) {
        text += UNITS[static_cast<std::size_t>(power)];
    }
    return text;
}

std::int64_t leading_decimal_number(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == L' ') {
        ++i;
    }
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace tovalen
