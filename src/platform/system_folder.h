// Programs and libraries of the system come from the system folder only. By bare name Windows
// looks for them in the program's own folder and the current directory first, where anyone may
// have left a file of that name (a Downloads folder beside a copy of the ZIP, a share).
#pragma once

#include <windows.h>

#include <string>

namespace tovalen::platform {

// The system folder ("C:\Windows\System32"), or empty text when the system will not say.
inline std::wstring system_folder()
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// Loads a library of the system folder; null when it cannot be loaded from there.
inline HMODULE load_system_library(const wchar_t* name)
{
    HMODULE library = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) {
        return library;
    }
    // A Windows 7 without the update that brought the search flags: the full path does the same.
    const std::wstring folder = system_folder();
    if (folder.empty()) {
        return nullptr;
    }
    const std::wstring path = folder + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A routine of a library this process has loaded, or null. Every run-time lookup goes through
// here, so that a missing routine is always null and never a crash.
template <typename Routine>
Routine library_routine(HMODULE library, const char* name)
{
    FARPROC found = library == nullptr ? nullptr : ::GetProcAddress(library, name);
    return reinterpret_cast<Routine>(reinterpret_cast<void (*)()>(found));
}

// A routine of a loaded system library that older systems lack: null there. Looked up rather
// than imported, so that the program still starts on such a system.
template <typename Routine>
Routine system_routine(const wchar_t* library, const char* name)
{
    return library_routine<Routine>(::GetModuleHandleW(library), name);
}

// For the whole process, early in start-up: libraries loaded later, also by system code on the
// program's behalf, come from the system folder. What the program imports at load time is bound
// before any code of ours runs, so it imports only libraries that Windows always takes from the
// system (its known DLLs, and the common controls through the manifest); everything else is
// loaded at run time through load_system_library.
inline void keep_searches_to_the_system()
{
    using SetDefaultDllDirectoriesRoutine = BOOL(WINAPI*)(DWORD);
    if (const auto set_default_directories =
            system_routine<SetDefaultDllDirectoriesRoutine>(L"kernel32.dll", "SetDefaultDllDirectories")) {
        set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

}  // namespace tovalen::platform
