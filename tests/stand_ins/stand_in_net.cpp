// Stands in for the system's net.exe: what it prints is chosen by TOVALEN_NET_OUTPUT, and it
// writes the command line, start-up flags and current directory it got to TOVALEN_NET_RECORD when
// that is set. With "every-handle" it first writes a mark into every handle it holds that can be
// written, as a child that abuses what it inherited would.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring variable(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

void write_out(const std::string& bytes)
{
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 16));
        if (!::WriteFile(out, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return;
        }
        done += written;
    }
}

void record_start(const std::wstring& file)
{
    STARTUPINFOW startup{};
    ::GetStartupInfoW(&startup);
    FILE* record = _wfopen(file.c_str(), L"wb");
    if (record == nullptr) {
        return;
    }
    wchar_t directory[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, directory);
    const std::wstring text = std::wstring(::GetCommandLineW()) + L"\n" + std::to_wstring(startup.dwFlags) + L"\n" +
                             std::to_wstring(startup.wShowWindow) + L"\n" + directory + L"\n";
    // UTF-16 as it is in memory, without a byte-order mark.
    std::fwrite(text.data(), sizeof(wchar_t), text.size(), record);
    std::fclose(record);
}

constexpr char INHERITED_MARK[] = "inherited-handle-mark\r\n";

// Handle values are multiples of four; those of a young process are small.
void mark_every_handle()
{
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD written = 0;
        if (::GetFileType(handle) != FILE_TYPE_UNKNOWN) {
            ::WriteFile(handle, INHERITED_MARK, sizeof(INHERITED_MARK) - 1, &written, nullptr);
        }
    }
}

const std::string ENGLISH =
    "Workstation Statistics for \\\\PC1\r\n\r\n\r\n"
    "Statistics since 4/12/2019 9:14:33 AM\r\n\r\n\r\n"
    "  Bytes received                               1234\r\n";

std::string output_for(const std::wstring& kind)
{
    if (kind == L"blanks") {
        return "Workstation Statistics for \\\\PC1\r\n\r\nStatistics since        4/12/2019 9:14:33 AM\r\n";
    }
    if (kind == L"two") {
        return "Statistics since 1/1/2020 1:00:00 AM\r\nStatistics since 2/2/2021 2:00:00 AM\r\n";
    }
    if (kind == L"lf") {
        return "Workstation Statistics\n\nStatistics since 4/12/2019 9:14:33 AM\n\nBytes 1\n";
    }
    if (kind == L"none") {
        return "Arbeitsstationsstatistik\r\n\r\nStatistik seit 12.04.2019 09:14:33\r\n";
    }
    if (kind == L"empty") {
        return {};
    }
    if (kind == L"large") {
        std::string text;
        for (int i = 0; i < 8000; ++i) {
            text += "  Padding line that makes the output several hundred kilobytes long\r\n";
        }
        return text + "Statistics since 5/5/2025 5:05:05 PM\r\n" + text;
    }
    if (kind == L"invalid") {
        return "Statistics since 1/1/2020 \xFF\xC3 1:00\r\n";
    }
    if (kind == L"noise") {
        std::string noise(1 << 20, '\0');
        unsigned state = 12345;
        for (char& c : noise) {
            state = state * 1103515245u + 12345u;
            c = static_cast<char>(state >> 24);
        }
        return noise;
    }
    if (kind == L"huge") {
        std::string line(1023, 'x');
        line += '\n';
        std::string text;
        text.reserve(10u << 20);
        for (int i = 0; i < 10 * 1024; ++i) {
            text += line;
        }
        return text + "Statistics since 6/6/2026 6:06:06 AM\r\n";
    }
    return ENGLISH;
}

}  // namespace

int wmain()
{
    if (const std::wstring record = variable(L"TOVALEN_NET_RECORD"); !record.empty()) {
        record_start(record);
    }
    const std::wstring kind = variable(L"TOVALEN_NET_OUTPUT");
    if (kind == L"every-handle") {
        mark_every_handle();
    }
    if (kind == L"hang") {
        ::Sleep(INFINITE);
    }
    write_out(output_for(kind));
    if (kind == L"hang-after-output") {
        ::Sleep(INFINITE);
    }
    return 0;
}
