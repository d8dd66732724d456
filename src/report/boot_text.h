// The last-start line in the output of the workstation statistics: from the child's bytes to the
// text shown. Free of Windows headers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovalen {

inline constexpr std::wstring_view BOOT_MARKER = L"Statistics since";

// Invalid UTF-8 becomes U+FFFD, one per byte that cannot start or continue a sequence.
std::wstring decode_utf8(std::string_view bytes);

// The child's output as lines: each line ends at a line feed, loses its carriage returns, is
// decoded as UTF-8 and is followed by CR LF. A last line without a line feed counts as a line.
std::wstring output_lines_text(std::string_view output);

// The start time from the first line holding the marker, blanks trimmed, up to the line end;
// nothing when the output has no marker.
std::optional<std::wstring> cut_boot_line(std::wstring_view collected);

}  // namespace tovalen
