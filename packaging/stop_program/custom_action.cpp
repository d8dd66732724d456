// The installer's custom action that ends the running copies of the installed program before
// the uninstall removes its file. It runs deferred, as the system, and receives the installed
// program, quoted as a command line, as its CustomActionData.
#include "platform/handles.h"
#include "platform/system_folder.h"
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

// Windows Installer's routines, taken from its library in the system folder (the one that runs
// this action, so already loaded): the library is not one that Windows always takes from there,
// and an import of it would be looked for beside this DLL first.
struct InstallerRoutines {
    tovalen::platform::UniqueLibrary library{tovalen::platform::load_system_library(L"msi.dll")};
    decltype(&::MsiGetPropertyW) get_property = routine<decltype(&::MsiGetPropertyW)>("MsiGetPropertyW");
    decltype(&::MsiCreateRecord) create_record = routine<decltype(&::MsiCreateRecord)>("MsiCreateRecord");
    decltype(&::MsiRecordSetStringW) set_string = routine<decltype(&::MsiRecordSetStringW)>("MsiRecordSetStringW");
    decltype(&::MsiProcessMessage) process_message = routine<decltype(&::MsiProcessMessage)>("MsiProcessMessage");
    decltype(&::MsiCloseHandle) close_handle = routine<decltype(&::MsiCloseHandle)>("MsiCloseHandle");

    template <typename Routine>
    Routine routine(const char* name) const
    {
        return tovalen::platform::library_routine<Routine>(library.get(), name);
    }

    bool complete() const
    {
        return get_property != nullptr && create_record != nullptr && set_string != nullptr &&
               process_message != nullptr && close_handle != nullptr;
    }
};

std::wstring custom_action_data(const InstallerRoutines& msi, MSIHANDLE install)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const UINT result = msi.get_property(install, L"CustomActionData", buffer.data(), &length);
        if (result == ERROR_SUCCESS) {
            return std::wstring(buffer.data(), length);
        }
        if (result != ERROR_MORE_DATA) {
            return {};
        }
        buffer.resize(static_cast<std::size_t>(length) + 1);
    }
}

void log_line(const InstallerRoutines& msi, MSIHANDLE install, const std::wstring& text)
{
    const MSIHANDLE record = msi.create_record(1);
    if (record == 0) {
        return;
    }
    msi.set_string(record, 0, text.c_str());
    msi.process_message(install, INSTALLMESSAGE_INFO, record);
    msi.close_handle(record);
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall StopRunningProgram(MSIHANDLE install)
{
    const InstallerRoutines msi;
    if (!msi.complete()) {
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring program = program_of_run_command(custom_action_data(msi, install));
    if (program.empty()) {
        return ERROR_SUCCESS;  // no installed program on record, so no copy of ours to end
    }
    const StopOutcome outcome = stop_program_copies(program, WAIT_FOR_END_MS);
    log_line(msi, install, L"Tovalen: " + std::to_wstring(outcome.ended) + L" of " + std::to_wstring(outcome.found) +
                          L" running copies of " + program + L" ended");
    return exit_code_for(outcome);
}
