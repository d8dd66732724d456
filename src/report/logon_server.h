// The logon server is the one identity line the system keeps only in the environment, which the
// user may set to anything; it is shown only when it reads as a server's name. Free of Windows
// headers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovalen {

// The longest name a server may have: a whole DNS name.
inline constexpr std::size_t LONGEST_LOGON_SERVER_NAME = 253;

// The LOGONSERVER variable as it is when it names one server, "\\NAME"; else empty text. NAME is
// 1 to LONGEST_LOGON_SERVER_NAME characters, each an ASCII letter or digit, "-", "_" or ".",
// and starts with a letter or a digit; so no blank, further backslash or control character.
std::wstring logon_server_text(std::wstring_view variable);

}  // namespace tovalen
