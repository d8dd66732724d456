#include "platform/programs.h"

#include "platform/handles.h"
#include "platform/system_folder.h"

#include <shellapi.h>

#include <atomic>
#include <utility>
#include <vector>

namespace tovalen::platform {

namespace {

constexpr DWORD PIPE_BUFFER_BYTES = 64 * 1024;
constexpr DWORD READ_BLOCK_BYTES = 16 * 1024;

// Starts a process at normal priority; its thread handle is closed at once and its process
// handle handed to the caller (empty when the process could not be started).
UniqueKernelHandle create_process(std::wstring command_line, bool inherit_handles, std::wstring_view working_directory,
                                  STARTUPINFOW& startup, DWORD extra_flags = 0)
{
    const std::wstring directory(working_directory);
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, so it gets a private copy.
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, inherit_handles ? TRUE : FALSE,
                          NORMAL_PRIORITY_CLASS | extra_flags, nullptr, directory.empty() ? nullptr : directory.c_str(),
                          &startup, &process)) {
        return UniqueKernelHandle();
    }
    ::CloseHandle(process.hThread);
    return UniqueKernelHandle(process.hProcess);
}

bool start_shown(std::wstring command_line, std::wstring_view working_directory)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    return static_cast<bool>(create_process(std::move(command_line), false, working_directory, startup));
}

}  // namespace

bool shell_open(std::wstring_view file, std::wstring_view parameters, std::wstring_view working_directory)
{
    const std::wstring file_text(file);
    const std::wstring parameter_text(parameters);
    const std::wstring directory(working_directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = file_text.c_str();
    info.lpParameters = parameter_text.empty() ? nullptr : parameter_text.c_str();
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

namespace {

// A pipe whose read end can wait with a time limit. Anonymous pipes cannot be read overlapped,
// so this is a named pipe with a name no other program can guess or reuse, one instance only.
struct OutputPipe {
    UniqueKernelHandle read_end;
    UniqueKernelHandle write_end;  // inheritable, for the child
};

bool open_output_pipe(OutputPipe& pipe)
{
    static std::atomic<unsigned> serial{0};
    const std::wstring name = L"\\\\.\\pipe\\tovalen-output-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(serial.fetch_add(1)) + L"-" + std::to_wstring(::GetTickCount64());
    HANDLE read_end = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                         0, PIPE_BUFFER_BYTES, 0, nullptr);
    if (read_end == INVALID_HANDLE_VALUE) {
        return false;
    }
    pipe.read_end.reset(read_end);
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE write_end = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr);
    if (write_end == INVALID_HANDLE_VALUE) {
        return false;
    }
    pipe.write_end.reset(write_end);
    return true;
}

DWORD milliseconds_left(ULONGLONG deadline)
{
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

enum class ReadOutcome { data, end, timed_out };

// One overlapped read that waits until the deadline at most.
ReadOutcome read_block(HANDLE pipe, HANDLE event, ULONGLONG deadline, std::vector<char>& block, DWORD& count)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    count = 0;
    if (!::ReadFile(pipe, block.data(), static_cast<DWORD>(block.size()), nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        return ReadOutcome::end;  // broken pipe: every writer has gone
    }
    if (::WaitForSingleObject(event, milliseconds_left(deadline)) != WAIT_OBJECT_0) {
        ::CancelIo(pipe);
        // The buffer must outlive the read, so wait for the cancellation to land.
        ::GetOverlappedResult(pipe, &overlapped, &count, TRUE);
        return ReadOutcome::timed_out;
    }
    if (!::GetOverlappedResult(pipe, &overlapped, &count, FALSE)) {
        return ReadOutcome::end;
    }
    return ReadOutcome::data;
}

}  // namespace

std::wstring program_command_line(std::wstring_view file, std::wstring_view parameters)
{
    std::wstring command_line;
    if (!file.empty() && file.front() == L'"') {
        command_line = file;
    } else {
        command_line = L"\"";
        command_line += file;
        command_line += L"\"";
    }
    if (!parameters.empty()) {
        command_line += L" ";
        command_line += parameters;
    }
    return command_line;
}

bool start_program(std::wstring_view file, std::wstring_view parameters, std::wstring_view working_directory)
{
    if (start_shown(program_command_line(file, parameters), working_directory)) {
        return true;
    }
    return shell_open(file, parameters, working_directory);
}

namespace {

// The program's standard error, when a child can be given it: a real handle that is marked
// inheritable. Null for none, for an invalid one, for a handle this program may not pass on and
// for a console handle of Windows 7 (a pseudo-handle with the two low bits set), none of which a
// handle list may name: the child then goes without rather than not at all.
HANDLE standard_error_to_pass_on()
{
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD flags = 0;
    if (error == nullptr || error == INVALID_HANDLE_VALUE || (reinterpret_cast<ULONG_PTR>(error) & 3) == 3 ||
        !::GetHandleInformation(error, &flags) || (flags & HANDLE_FLAG_INHERIT) == 0) {
        return nullptr;
    }
    return error;
}

// Starts the child hidden, its standard output on the pipe, its standard error the given handle
// (or none), no standard input, in the system folder. It inherits those two handles and nothing
// else: not the standard output (in report mode the caller's, which a grandchild that outlived
// the time limit would keep open), nor a report file this program has open, nor any handle
// another part of the program made inheritable.
UniqueKernelHandle start_hidden_child(std::wstring_view command_line, HANDLE output, HANDLE error)
{
    std::vector<HANDLE> inherited{output};
    if (error != nullptr) {
        inherited.push_back(error);
    }
    const InheritedHandleList handle_list(std::move(inherited));
    if (handle_list.get() == nullptr) {
        return UniqueKernelHandle();
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = nullptr;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = error;
    startup.lpAttributeList = handle_list.get();
    // Not the current directory, which may be any folder, one a user can write to among them.
    return create_process(std::wstring(command_line), true, system_folder(), startup.StartupInfo,
                          EXTENDED_STARTUPINFO_PRESENT);
}

}  // namespace

ChildOutput run_hidden_for_output(std::wstring_view command_line, DWORD time_limit_ms)
{
    ChildOutput result;
    OutputPipe pipe;
    if (!open_output_pipe(pipe)) {
        return result;
    }
    const HANDLE error = standard_error_to_pass_on();
    UniqueKernelHandle child = start_hidden_child(command_line, pipe.write_end.get(), error);
    if (!child && error != nullptr) {
        // A standard error the system would not pass on after all: the child goes without it.
        child = start_hidden_child(command_line, pipe.write_end.get(), nullptr);
    }
    if (!child) {
        return result;
    }
    result.started = true;
    // Only the child may hold the write end now, so the pipe breaks when the child is done.
    pipe.write_end.reset();

    const ULONGLONG deadline = ::GetTickCount64() + time_limit_ms;
    UniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        ::TerminateProcess(child.get(), 1);
        return result;
    }
    std::vector<char> block(READ_BLOCK_BYTES);
    bool timed_out = false;
    for (;;) {
        DWORD count = 0;
        const ReadOutcome outcome = read_block(pipe.read_end.get(), event.get(), deadline, block, count);
        result.output.append(block.data(), count);
        if (outcome == ReadOutcome::timed_out) {
            timed_out = true;
            break;
        }
        if (outcome == ReadOutcome::end) {
            break;
        }
    }
    // The output has ended, but a child may still run on with its output closed.
    if (!timed_out && ::WaitForSingleObject(child.get(), milliseconds_left(deadline)) == WAIT_OBJECT_0) {
        result.finished = true;
        ::GetExitCodeProcess(child.get(), &result.exit_code);
    } else {
        ::TerminateProcess(child.get(), 1);
        ::WaitForSingleObject(child.get(), 1000);
    }
    return result;
}

}  // namespace tovalen::platform
