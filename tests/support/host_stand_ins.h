// What the recording stand-ins for the host's xdg-open and xdg-email were handed: Wine passes
// them the URLs and folders a program opens, so a test can check exactly what left the program.
#pragma once

#include <string>
#include <vector>

namespace tovalen::testing {

// Forgets what the stand-ins recorded so far.
void clear_host_records();
// The arguments of every call of the named stand-in ("xdg-email", "xdg-open") since the last
// clearing, one per element; empty when it was not called.
std::vector<std::wstring> host_record(const wchar_t* stand_in);
// Waits (generously) until the named stand-in has been called, then returns its record.
std::vector<std::wstring> wait_for_host_record(const wchar_t* stand_in);

// A URL with every %XX decoded (as UTF-8), so that a URL can be compared with what reached the
// host whatever further escaping Wine applied on the way (it escapes blanks and backslashes).
std::wstring percent_decoded(const std::wstring& url);

}  // namespace tovalen::testing
