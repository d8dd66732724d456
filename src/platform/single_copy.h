// One running copy of the program per user and session (the terminal-services session, whose
// namespace "Local\" is). The copies find each other through a small block of shared memory named
// there, which only the user's own account and the system may open. The block lives
// only as long as some copy holds it, so a copy that has ended leaves nothing behind that could
// stop the next start.
#pragma once

#include "platform/handles.h"

#include <string>

namespace tovalen::platform {

// The copy that holds the name: its process and the window that later starts signal.
struct RunningCopy {
    DWORD process_id = 0;
    HWND window = nullptr;
};

// "Local\Tovalen.OneCopy.<user's SID>": the session's namespace, and the user's own name in it,
// so that a copy another user starts in the same session (runas) neither finds this one nor can
// stand in for it.
std::wstring single_copy_name();

class SingleCopy {
public:
    enum class Standing {
        // The name could not be had (an object of another kind, or of another user, holds it):
        // this copy runs as if it were the only one rather than not at all.
        unguarded,
        // This copy holds the name; later starts find it once it has announced its window.
        sole,
        // Another copy holds the name and has announced its window: other() tells where.
        other_found,
        // Another copy holds the name but announced no window within the wait: it is still
        // starting, and will show its own tray icon.
        other_starting,
    };

    // Takes the name for this process, or finds the copy that holds it, waiting up to `wait_ms`
    // for a copy that is still starting to announce its window. A copy that holds the name but
    // has ended (its window gone, or its process gone before it had one) is taken over.
    SingleCopy(const std::wstring& name, DWORD wait_ms);
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    Standing standing() const { return standing_; }
    const RunningCopy& other() const { return other_; }

    // Looks again, as at construction: for when the copy found has ended since.
    void look_again();

    // Tells later starts which window to signal. Only a sole copy announces; otherwise nothing
    // happens.
    void announce(HWND window);

private:
    void settle();

    UniqueKernelHandle block_;
    UniqueMappedView view_;
    DWORD wait_ms_ = 0;
    Standing standing_ = Standing::unguarded;
    RunningCopy other_;
};

}  // namespace tovalen::platform
