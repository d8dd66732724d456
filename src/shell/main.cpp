#include "shell/report_mode.h"
#include "shell/shell.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // A start with arguments is a script's or a user's question, not a tray start: it neither
    // looks for nor becomes the session's running copy.
    const tovalen::CommandLineRequest request = tovalen::read_command_line(tovalen::command_line_arguments());
    if (request.mode != tovalen::RunMode::tray) {
        return tovalen::run_without_tray(request);
    }
    // Held for the whole run: later starts in this session find this copy through it.
    tovalen::platform::SingleCopy copy(tovalen::platform::single_copy_name(), tovalen::STARTING_COPY_WAIT_MS);
    if (tovalen::leave_start_to_running_copy(copy)) {
        return 0;
    }
    tovalen::start_up();
    tovalen::announce_report_window(copy);
    tovalen::run_event_loop();
}
