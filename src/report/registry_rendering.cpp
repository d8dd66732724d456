#include "report/registry_rendering.h"

#include "report/hex_text.h"

#include <string_view>

namespace tovalen {

namespace {

// Code units are read byte by byte, so the data needs no particular alignment.
wchar_t code_unit_at(std::span<const std::uint8_t> data, std::size_t offset)
{
    return static_cast<wchar_t>(data[offset] | (data[offset + 1] << 8));
}

std::size_t whole_code_units(std::span<const std::uint8_t> data) { return data.size() / 2; }

std::wstring string_up_to_terminator(std::span<const std::uint8_t> data)
{
    std::wstring text;
    const std::size_t units = whole_code_units(data);
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const wchar_t unit = code_unit_at(data, 2 * i);
        if (unit == L'\0') {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

std::wstring multi_string_lines(std::span<const std::uint8_t> data)
{
    std::wstring text;
    const std::size_t units = whole_code_units(data);
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const wchar_t unit = code_unit_at(data, 2 * i);
        text.push_back(unit == L'\0' ? L'\n' : unit);
    }
    if (!text.empty() && text.back() == L'\n') {
        text.pop_back();
    }
    return text;
}

std::wstring binary_groups(std::span<const std::uint8_t> data)
{
    const std::size_t count = data.size() < MAX_RENDERED_BINARY_BYTES ? data.size() : MAX_RENDERED_BINARY_BYTES;
    std::wstring text;
    text.reserve(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(L'$');
        append_hex_byte(text, data[i]);
        text.push_back(L',');
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::uint64_t little_endian(std::span<const std::uint8_t> data, std::size_t byte_count)
{
    std::uint64_t value = 0;
    for (std::size_t i = byte_count; i-- > 0;) {
        value = (value << 8) | data[i];
    }
    return value;
}

std::wstring dword_text(std::span<const std::uint8_t> data)
{
    if (data.size() < 4) {
        return {};
    }
    return std::to_wstring(static_cast<std::int32_t>(static_cast<std::uint32_t>(little_endian(data, 4))));
}

std::wstring qword_text(std::span<const std::uint8_t> data)
{
    if (data.size() < 8) {
        return {};
    }
    return std::to_wstring(static_cast<std::int64_t>(little_endian(data, 8)));
}

}  // namespace

RenderedRegistryValue render_registry_data(std::uint32_t type, std::span<const std::uint8_t> data)
{
    switch (type) {
    case REGISTRY_SZ:
        return {string_up_to_terminator(data), false};
    case REGISTRY_EXPAND_SZ: {
        std::wstring stored = string_up_to_terminator(data);
        const bool expand = !stored.empty();
        return {std::move(stored), expand};
    }
    case REGISTRY_BINARY:
        return {binary_groups(data), false};
    case REGISTRY_DWORD:
        return {dword_text(data), false};
    case REGISTRY_MULTI_SZ:
        return {multi_string_lines(data), false};
    case REGISTRY_QWORD:
        return {qword_text(data), false};
    default:
        return {};
    }
}

std::wstring normalise_key_path(std::wstring_view key_path)
{
    if (!key_path.empty() && key_path.front() == L'\\') {
        key_path.remove_prefix(1);
    }
    if (!key_path.empty() && key_path.back() == L'\\') {
        key_path.remove_suffix(1);
    }
    return std::wstring(key_path);
}

}  // namespace tovalen
