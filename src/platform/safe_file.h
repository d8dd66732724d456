// Writing a whole file where the program may run with more power than whoever owns the folder:
// the folder is opened once and checked, and everything after goes through handles.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tovalen::platform {

// ERROR_SUCCESS once every byte is written, otherwise why not.
DWORD write_all(HANDLE file, std::string_view bytes);

// Either a system error, or the program's own reason for refusing; neither when written.
struct WriteOutcome {
    DWORD error = ERROR_SUCCESS;
    std::wstring refusal;
};

// Puts the contents at the path in one step: a reader sees the old file or the whole new one.
// The folder must be the one the path names (no link on the way) and, for an elevated or SYSTEM
// caller, one that no lesser account can change. The file gets its own protected access list:
// SYSTEM, Administrators and the calling user. A device (NUL, a pipe) is written as it is.
WriteOutcome replace_file_contents(const std::wstring& path, std::string_view contents);

// Asks the system not to follow, in this process, links that an unprivileged user made; where
// the system has no such setting, nothing changes.
void trust_no_user_redirection();

}  // namespace tovalen::platform
