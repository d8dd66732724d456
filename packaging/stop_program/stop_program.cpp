#include "stop_program/stop_program.h"

#include "platform/handles.h"

#include <tlhelp32.h>

#include <vector>

namespace tovalen::packaging {

namespace {

using platform::UniqueKernelHandle;

// The path as the system spells it: full, with long names, so that "C:\PROGRA~1\..." and a
// relative path name the same file as the image path of a running process.
std::wstring canonical_path(const std::wstring& path)
{
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    std::wstring long_form(full.size() + 1, L'\0');
    for (;;) {
        const DWORD length =
            ::GetLongPathNameW(full.c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
        if (length == 0) {
            return full;  // the file is gone already: nothing can run from it under another spelling
        }
        if (length < long_form.size()) {
            long_form.resize(length);
            return long_form;
        }
        long_form.resize(length);
    }
}

bool same_file_name(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::wstring image_path(HANDLE process)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (::QueryFullProcessImageNameW(process, 0, buffer.data(), &length)) {
            return std::wstring(buffer.data(), length);
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring file_name_of(const std::wstring& path)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// The processes whose image has the program's file name, from the system's list alone: nothing
// else is ever opened (security tools rightly take an installer that opens every process on the
// machine, their own agents and lsass among them, for tampering).
std::vector<DWORD> processes_named(const std::wstring& file_name)
{
    std::vector<DWORD> ids;
    const platform::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return ids;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID != ::GetCurrentProcessId() && same_file_name(file_name_of(entry.szExeFile), file_name)) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    return ids;
}

// The process opened with query rights only, when it runs the program file; empty otherwise.
UniqueKernelHandle query_if_running(DWORD id, const std::wstring& program)
{
    UniqueKernelHandle process(process_opener()(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) {
        return process;
    }
    const std::wstring image = image_path(process.get());
    if (image.empty() || !same_file_name(canonical_path(image), program)) {
        process.reset();
    }
    return process;
}

// Ending it loses nothing: the program keeps no state and writes nothing, and it does not end
// on a close request (that only hides its window).
bool end_and_wait(HANDLE process, DWORD wait_ms)
{
    if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
        return true;
    }
    ::TerminateProcess(process, 1);
    return ::WaitForSingleObject(process, wait_ms) == WAIT_OBJECT_0;
}

}  // namespace

OpenProcessRoutine& process_opener()
{
    static OpenProcessRoutine opener = &::OpenProcess;
    return opener;
}

StopOutcome stop_program_copies(const std::wstring& program_path, DWORD wait_ms)
{
    StopOutcome outcome;
    const std::wstring target = canonical_path(program_path);
    const std::wstring file_name = file_name_of(target);
    if (file_name.empty()) {
        return outcome;
    }
    for (const DWORD id : processes_named(file_name)) {
        // Held open meanwhile, so that the id cannot pass to another process before the second open.
        const UniqueKernelHandle checked = query_if_running(id, target);
        if (!checked) {
            continue;
        }
        UniqueKernelHandle process(process_opener()(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) {
            continue;
        }
        ++outcome.found;
        if (end_and_wait(process.get(), wait_ms)) {
            ++outcome.ended;
        } else {
            ++outcome.still_running;
        }
    }
    return outcome;
}

DWORD exit_code_for(const StopOutcome& outcome)
{
    return outcome.still_running == 0 ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

}  // namespace tovalen::packaging
