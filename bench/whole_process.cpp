// Times report mode as a whole process, as a management tool runs it: from the start of the
// process to its end. Beside it, the program's own start: the same program given a bad command
// line, which loads everything report mode loads and ends at once. Each is run `runs` times,
// alternating, and the medians go to the JSON file.
// Usage: whole_process <json> <runs> <tovalen.exe> <report file>
#include "clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Milliseconds from creating the process to seeing it end; -1 when it could not run or failed.
double run_ms(std::wstring command_line, DWORD expected_exit_code)
{
    // What the program says on its standard output and error goes nowhere, as under a tool that
    // collects only the file.
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE nowhere = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    PROCESS_INFORMATION process{};
    const double start = tovalen::bench::now_ns();
    const BOOL started = ::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                          &startup, &process);
    ::CloseHandle(nowhere);
    if (!started) {
        return -1;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    const double ms = (tovalen::bench::now_ns() - start) / 1e6;
    DWORD exit_code = 0;
    ::GetExitCodeProcess(process.hProcess, &exit_code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return exit_code == expected_exit_code ? ms : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: whole_process <json> <runs> <tovalen.exe> <report file>\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[2]));
    const std::wstring program = L"\"" + std::wstring(argv[3]) + L"\"";
    std::vector<double> start_ms;
    std::vector<double> report_ms;
    for (int i = 0; i < runs; ++i) {
        start_ms.push_back(run_ms(program + L" /no-such-switch", 1));
        report_ms.push_back(run_ms(program + L" /json \"" + argv[4] + L"\"", 0));
        if (start_ms.back() < 0 || report_ms.back() < 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
    }
    const double start = median(start_ms);
    const double report = median(report_ms);
    std::printf("%-40s %10.1f ms\n%-40s %10.1f ms\n", "program start (bad command line)", start,
                "report mode (/json FILE), whole process", report);
    if (FILE* json = _wfopen(argv[1], L"w")) {
        std::fprintf(json, "{\"runs\": %d, \"process_start_ms\": %.1f, \"report_mode_ms\": %.1f}\n", runs, start, report);
        std::fclose(json);
    }
    return 0;
}
