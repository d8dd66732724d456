#include "report/boot_text.h"

#include <cstdint>

namespace tovalen {

namespace {

constexpr wchar_t REPLACEMENT_CHARACTER = 0xFFFD;

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

struct SequenceShape {
    int length;           // 0: not a valid first byte
    char32_t initial;     // the payload bits of the first byte
    char32_t minimum;     // the smallest code point of this length (no overlong forms)
};

SequenceShape shape_of(unsigned char first)
{
    if (first < 0x80) {
        return {1, first, 0};
    }
    if ((first & 0xE0) == 0xC0) {
        return {2, static_cast<char32_t>(first & 0x1F), 0x80};
    }
    if ((first & 0xF0) == 0xE0) {
        return {3, static_cast<char32_t>(first & 0x0F), 0x800};
    }
    if ((first & 0xF8) == 0xF0) {
        return {4, static_cast<char32_t>(first & 0x07), 0x10000};
    }
    return {0, 0, 0};
}

void append_code_point(std::wstring& text, char32_t code_point)
{
    // Wide text is UTF-16 on Windows; where wchar_t holds a whole code point, no pairs are needed.
    if (code_point < 0x10000 || sizeof(wchar_t) == 4) {
        text.push_back(static_cast<wchar_t>(code_point));
        return;
    }
    code_point -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (code_point >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (code_point & 0x3FF)));
}

}  // namespace

std::wstring decode_utf8(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const SequenceShape shape = shape_of(first);
        if (shape.length == 0) {
            text.push_back(REPLACEMENT_CHARACTER);
            ++i;
            continue;
        }
        char32_t code_point = shape.initial;
        int taken = 1;
        while (taken < shape.length && i + taken < bytes.size() &&
               is_continuation(static_cast<unsigned char>(bytes[i + taken]))) {
            code_point = (code_point << 6) | (static_cast<unsigned char>(bytes[i + taken]) & 0x3F);
            ++taken;
        }
        const bool complete = taken == shape.length;
        const bool valid = complete && code_point >= shape.minimum && code_point <= 0x10FFFF &&
                           !(code_point >= 0xD800 && code_point <= 0xDFFF);
        if (!valid) {
            // The first byte is unusable; its would-be continuation bytes are each replaced in
            // turn, so no byte is lost without a trace.
            text.push_back(REPLACEMENT_CHARACTER);
            ++i;
            continue;
        }
        append_code_point(text, code_point);
        i += static_cast<std::size_t>(taken);
    }
    return text;
}

std::wstring output_lines_text(std::string_view output)
{
    std::wstring text;
    text.reserve(output.size() + output.size() / 16);
    std::string line;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) {
            end = output.size();
        }
        line.clear();
        for (std::size_t i = start; i < end; ++i) {
            if (output[i] != '\r') {
                line.push_back(output[i]);
            }
        }
        text += decode_utf8(line);
        text += L"\r\n";
        start = end + 1;
    }
    return text;
}

std::optional<std::wstring> cut_boot_line(std::wstring_view collected)
{
    const std::size_t marker = collected.find(BOOT_MARKER);
    if (marker == std::wstring_view::npos) {
        return std::nullopt;
    }
    std::wstring_view rest = collected.substr(marker + BOOT_MARKER.size());
    while (!rest.empty() && rest.front() == L' ') {
        rest.remove_prefix(1);
    }
    while (!rest.empty() && rest.back() == L' ') {
        rest.remove_suffix(1);
    }
    const std::size_t line_end = rest.find(L"\r\n");
    if (line_end != std::wstring_view::npos) {
        rest = rest.substr(0, line_end);
    }
    return std::wstring(rest);
}

}  // namespace tovalen
