// A one-way signal between test threads: opened once, waited for by anyone. Built on a
// manual-reset event because the standard library's std::latch can miss a wake-up on this
// toolchain's threads and hang a test.
#pragma once

#include <windows.h>

#include "platform/handles.h"

namespace tovalen::comline::testing {

class Gate {
public:
    Gate() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    void open() { ::SetEvent(event_.get()); }
    // Waits at most 10 s, so that a broken test fails instead of hanging.
    bool wait() { return ::WaitForSingleObject(event_.get(), 10000) == WAIT_OBJECT_0; }

private:
    platform::UniqueKernelHandle event_;
};

}  // namespace tovalen::comline::testing
