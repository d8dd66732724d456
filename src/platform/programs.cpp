#include "platform/programs.h"

#include "platform/handles.h"

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
                                  STARTUPINFOW& startup)
{
    const std::wstring directory(working_directory);
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, so it gets a private copy.
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, inherit_handles ? TRUE : FALSE,
                          NORMAL_PRIORITY_CLASS, nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                          &process)) {
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

ChildOutput run_hidden_for_output(std::wstring_view command_line, DWORD time_limit_ms)
{
    ChildOutput result;
    OutputPipe pipe;
    if (!open_output_pipe(pipe)) {
        return result;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = pipe.write_end.get();
    // Not this program's own: in report mode that is the caller's, where only one line of ours
    // may appear for each fault.
    startup.hStdError = nullptr;
    const UniqueKernelHandle child = create_process(std::wstring(command_line), true, L"", startup);
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
