// Ends the running copies of one program file. The installer runs this before it removes the
// file: a file that is in use cannot be deleted, and an uninstall that takes away the Run value
// and the uninstall entry but leaves the file behind is half done.
#pragma once

#include <windows.h>

#include <string>

namespace tovalen::packaging {

struct StopOutcome {
    unsigned found = 0;          // processes started from the file
    unsigned ended = 0;          // of those, the ones that have ended
    unsigned still_running = 0;  // of those, the ones that could not be ended in time
};

// Ends every process whose image is the file at program_path (compared as Windows compares
// file names, case-insensitively). Other processes, including copies of the same program
// started from another folder, are left alone. Only processes with the file's name are opened,
// with query rights, and only those running the file with the right to end them.
StopOutcome stop_program_copies(const std::wstring& program_path, DWORD wait_ms);

// The one way this code opens a process: the system's OpenProcess, unless a test counts the opens.
using OpenProcessRoutine = HANDLE(WINAPI*)(DWORD access, BOOL inherit, DWORD process_id);
OpenProcessRoutine& process_opener();

// What the installer is told: success once no copy runs any more, else a failure, so that the
// uninstall rolls back and leaves the installation whole.
DWORD exit_code_for(const StopOutcome& outcome);

}  // namespace tovalen::packaging
