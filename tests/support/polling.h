// Waiting for a state another process or thread brings about: the state itself is checked again
// and again until it holds or a generous deadline passes, since a loaded machine can take many
// seconds for what a quiet one does at once.
#pragma once

#include <windows.h>

#include <string>

namespace tovalen::testing {

inline constexpr DWORD GENEROUS_DEADLINE_MS = 60'000;

// True once `holds()` is true; false if it is still false at the deadline.
template <typename Condition>
bool wait_until(Condition holds, DWORD timeout_ms = GENEROUS_DEADLINE_MS)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
    for (;;) {
        if (holds()) {
            return true;
        }
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(20);
    }
}

}  // namespace tovalen::testing
