// Starts a program of the build under test and drives it from outside through real window
// messages, as the tray and the user would.
#pragma once

#include "platform/handles.h"

#include <string>
#include <utility>
#include <vector>

namespace tovalen::testing {

struct ProgramOptions {
    std::wstring working_directory;  // empty: the caller's
    // Variables set for the child on top of the caller's environment; an empty value removes one.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
};

// What a message box of the program shows.
struct DialogView {
    HWND window = nullptr;
    std::wstring title;
    std::wstring text;
    bool has_icon = false;
    HICON icon = nullptr;
};

class ProgramUnderTest {
public:
    explicit ProgramUnderTest(const std::wstring& path, const ProgramOptions& options = {});
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;
    // Ends the program if it still runs.
    ~ProgramUnderTest();

    bool started() const { return static_cast<bool>(process_); }
    DWORD process_id() const { return process_id_; }

    // The report window, once the program has made it (waits up to the timeout).
    HWND main_window(DWORD timeout_ms = 15000);
    HWND control(int number);

    // A mouse message on the tray icon, posted the way the tray posts it.
    void post_tray(UINT mouse_message);
    void post_close();
    void post_control_notification(int number, WORD code);
    // Returns once every message posted before has been handled.
    bool settle(DWORD timeout_ms = 60000);
    // Returns once the report window is shown (or hidden) and the program is waiting again. A
    // build or an action may take longer than a message round trip: the program answers sent
    // messages while it waits inside a COM call or the shell's open operation.
    bool wait_for_report_window(bool shown = true, DWORD timeout_ms = 60000);

    std::wstring editor_text();
    void set_editor_text(const std::wstring& text);
    bool window_visible();
    bool window_topmost();

    // The program's message boxes that are showing now.
    std::vector<DialogView> dialogs();
    // Waits until the program shows a message box.
    bool wait_for_dialog(DialogView& dialog, DWORD timeout_ms = 60000);
    // Presses the box's OK button.
    static void press_ok(const DialogView& dialog);

    // The exit code once the program has ended within the timeout, else STILL_ACTIVE.
    DWORD wait_exit(DWORD timeout_ms);

private:
    platform::UniqueKernelHandle process_;
    DWORD process_id_ = 0;
    HWND main_window_ = nullptr;
};

// Text of any window, read through WM_GETTEXT so that it works across processes.
std::wstring window_text(HWND window);

}  // namespace tovalen::testing
