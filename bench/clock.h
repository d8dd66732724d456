// The benchmarks' one clock: the performance counter, in nanoseconds.
#pragma once

#include <windows.h>

namespace tovalen::bench {

inline double now_ns()
{
    static const double ns_per_tick = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return 1e9 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * ns_per_tick;
}

}  // namespace tovalen::bench
