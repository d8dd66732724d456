// The handles this process holds open, for the tests that prove nothing is held per round.
#pragma once

#include <windows.h>

namespace tovalen::testing {

// Wine 8 answers GetProcessHandleCount with 0; the handles are then found by asking for each
// possible value: multiples of 4 handed out lowest first, far below this bound in a test process.
inline DWORD open_handle_count()
{
    DWORD counted = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &counted) && counted > 0) {
        return counted;
    }
    DWORD open = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        open += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return open;
}

}  // namespace tovalen::testing
