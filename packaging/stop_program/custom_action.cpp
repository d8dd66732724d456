// The installer's custom action that ends the running copies of the installed program before
// the uninstall removes its file. It runs deferred, as the system, and receives the installed
// program, quoted as a command line, as its CustomActionData.
#include "stop_program/run_command.h"
#include "stop_program/stop_program.h"

#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

namespace {

using namespace tovalen::packaging;

// Long enough for a process that is being ended to let go of its image file.
constexpr DWORD WAIT_FOR_END_MS = 10000;

std::wstring custom_action_data(MSIHANDLE install)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const UINT result = ::MsiGetPropertyW(install, L"CustomActionData", buffer.data(), &length);
        if (result == ERROR_SUCCESS) {
            return std::wstring(buffer.data(), length);
        }
        if (result != ERROR_MORE_DATA) {
            return {};
        }
        buffer.resize(static_cast<std::size_t>(length) + 1);
    }
}

void log_line(MSIHANDLE install, const std::wstring& text)
{
    const MSIHANDLE record = ::MsiCreateRecord(1);
    if (record == 0) {
        return;
    }
    ::MsiRecordSetStringW(record, 0, text.c_str());
    ::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    ::MsiCloseHandle(record);
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall StopRunningProgram(MSIHANDLE install)
{
    const std::wstring program = program_of_run_command(custom_action_data(install));
    if (program.empty()) {
        return ERROR_SUCCESS;  // no installed program on record, so no copy of ours to end
    }
    const StopOutcome outcome = stop_program_copies(program, WAIT_FOR_END_MS);
    log_line(install, L"Tovalen: " + std::to_wstring(outcome.ended) + L" of " + std::to_wstring(outcome.found) +
                          L" running copies of " + program + L" ended");
    return exit_code_for(outcome);
}
