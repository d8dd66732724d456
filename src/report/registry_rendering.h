// How a registry value's stored bytes become report text. Free of Windows headers: it takes the
// type number and the bytes exactly as the registry returned them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tovalen {

// The registry's type numbers, as the registry reports them.
inline constexpr std::uint32_t REGISTRY_SZ = 1;
inline constexpr std::uint32_t REGISTRY_EXPAND_SZ = 2;
inline constexpr std::uint32_t REGISTRY_BINARY = 3;
inline constexpr std::uint32_t REGISTRY_DWORD = 4;
inline constexpr std::uint32_t REGISTRY_MULTI_SZ = 7;
inline constexpr std::uint32_t REGISTRY_QWORD = 11;

// Binary data beyond this many bytes is not shown.
inline constexpr std::size_t MAX_RENDERED_BINARY_BYTES = 2096;

struct RenderedRegistryValue {
    std::wstring text;
    // An expandable string: the text is the stored string, whose environment-variable references
    // the caller still has to expand.
    bool needs_expansion = false;
};

// The text of a value of the given type. Only the given bytes are read: a string without its
// terminator ends with the data, an odd final byte of a string is ignored, and a number stored
// with fewer bytes than its type needs renders as empty text, like a value that cannot be read.
RenderedRegistryValue render_registry_data(std::uint32_t type, std::span<const std::uint8_t> data);

// The key path with at most one backslash removed from each end.
std::wstring normalise_key_path(std::wstring_view key_path);

}  // namespace tovalen
