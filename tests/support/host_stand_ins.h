// What the recording stand-ins for the host's xdg-open and xdg-email were handed: Wine passes
// them the URLs and folders a program opens, so a test can check exactly what left the program.
// Wine escapes blanks and backslashes on the way, so compare URLs percent-decoded
// (support/strict_url.h).
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

}  // namespace tovalen::testing
