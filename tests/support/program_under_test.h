// Starts a program of the build under test and drives it from outside through real window
// messages, as the tray and the user would.
#pragma once

#include "platform/handles.h"
#include "support/polling.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tovalen::testing {

struct ProgramOptions {
    std::wstring working_directory;  // empty: the caller's
    std::wstring arguments;          // after the program's quoted path
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
    // Waits until the program runs its message loop: its window made with every control, and a
    // message posted after them handled, so start-up (which makes the copy findable) has ended.
    // Empty then, else what it did not reach.
    std::string wait_until_running();

    // The report window, once the program has made it (waits up to the timeout).
    HWND main_window(DWORD timeout_ms = GENEROUS_DEADLINE_MS);
    HWND control(int number);

    // A notification of the tray icon, posted the way the tray posts it at version 4.
    void post_tray(UINT notification);
    void post_close();
    void post_control_notification(int number, WORD code);
    // Returns once every message posted to the program before has been handled, proved by a
    // sentinel posted after them whose effect the test can see: a new text limit of the report
    // editor. The program's one thread takes posted messages in order and handles each event
    // before it takes the next message, so the sentinel takes effect only after those handlers
    // ended. (A sent message proves nothing of the kind: a thread takes every waiting sent message
    // before any posted one, so a round trip can overtake a message posted long before it.)
    bool wait_until_handled(DWORD timeout_ms = GENEROUS_DEADLINE_MS);
    // Returns once the report window is shown (or hidden) and the handler that showed or hid it
    // has ended, so everything it does after (topmost, emptying the editor) is done too.
    bool wait_for_report_window(bool shown = true, DWORD timeout_ms = GENEROUS_DEADLINE_MS);
    // A left click on the tray icon, and the report window shown and its handler done.
    bool press_to_show();
    // Whether the editor holds a report (rather than nothing, or what a test put there).
    bool shows_a_report();

    // The window of the program that has the keyboard focus; the report window when none has.
    HWND focused_window();
    // A key pressed and released on the focused window, as the keyboard sends it.
    void post_key(UINT virtual_key);
    // One key-down alone to a window of the program: the first of a press, or one repeated while
    // the key is held.
    void post_key_down(HWND target, UINT virtual_key, bool repeated);

    std::wstring editor_text();
    void set_editor_text(const std::wstring& text);
    bool window_visible();
    bool window_topmost();

    // The program's message boxes that are showing now.
    std::vector<DialogView> dialogs();
    // Waits until the program shows a message box.
    bool wait_for_dialog(DialogView& dialog, DWORD timeout_ms = GENEROUS_DEADLINE_MS);
    // Presses the box's OK button.
    static void press_ok(const DialogView& dialog);

    // The exit code once the program has ended within the timeout, else STILL_ACTIVE.
    DWORD wait_exit(DWORD timeout_ms);
    // Ends the program as a task manager would and waits until it has ended; true once it has.
    bool end();
    // Milliseconds from the creation of the ended program's process to its exit, as the system
    // recorded them; -1 while it runs.
    double lifetime_ms();

private:
    platform::UniqueKernelHandle process_;
    DWORD process_id_ = 0;
    HWND main_window_ = nullptr;
};

// While it lives, an object of another kind holds the name through which the copies of the
// program find each other, so every copy started meanwhile runs by itself, as copies of different
// sessions do (Wine runs every program in one session).
class CopiesApart {
public:
    CopiesApart();
    // False when the name could not be taken: a copy of the program holds it.
    bool holds_the_name() const { return holds_; }

private:
    platform::UniqueKernelHandle squatter_;
    bool holds_ = false;
};

// A program run to its end with its standard output and error redirected, as a script runs it.
struct FinishedRun {
    DWORD exit_code = STILL_ACTIVE;  // STILL_ACTIVE: not started, or still running at the deadline
    std::string standard_output;
    std::string standard_error;
};

// A temporary file for what a child writes through a handle it inherits; gone once every handle
// on it is closed. Inheritable unless asked otherwise.
platform::UniqueFileHandle redirection_file(bool inheritable = true);
// Everything the file holds.
std::string contents_from_start(HANDLE file);

// Runs the program with the arguments, its standard output and error going to files (as a
// script's redirection hands them over), and waits for its end. A test that must act before the
// program runs is handed its process id while it is still held at its start.
FinishedRun run_to_end(const std::wstring& path, const std::wstring& arguments,
                       DWORD timeout_ms = GENEROUS_DEADLINE_MS,
                       const std::function<void(DWORD process_id)>& before_running = {});

// The report windows of the copies running from the program file, whoever started them.
std::vector<HWND> report_windows_of(const std::wstring& program_path);

// Text of any window, read through WM_GETTEXT so that it works across processes.
std::wstring window_text(HWND window);
// Where a control stands in its window's client area.
RECT place_in(HWND control, HWND window);

// An icon's colour picture or its transparency mask as 32-bit pixels, top row first; empty for
// no icon.
struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};
enum class IconPart { colour, mask };
IconPixels icon_pixels(HICON icon, IconPart part);

}  // namespace tovalen::testing
