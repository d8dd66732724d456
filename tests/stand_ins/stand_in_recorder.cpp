// Stands in for a program that the report's buttons start: it adds the command line it got to
// the file named by TOVALEN_RECORD_FILE and ends. It adds rather than replaces, so that a start
// nobody expected shows up in the record instead of being overwritten by the next one.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain()
{
    wchar_t file[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"TOVALEN_RECORD_FILE", file, MAX_PATH) == 0) {
        return 1;
    }
    FILE* record = _wfopen(file, L"ab");
    if (record == nullptr) {
        return 1;
    }
    const wchar_t* command_line = ::GetCommandLineW();
    // UTF-16 as it is in memory, without a byte-order mark.
    std::fwrite(command_line, sizeof(wchar_t), std::wcslen(command_line), record);
    std::fclose(record);
    return 0;
}
