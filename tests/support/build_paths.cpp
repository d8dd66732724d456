#include "support/build_paths.h"

#include "platform/handles.h"
#include "support/polling.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tovalen::testing {

namespace {

// Wine shows the Linux root as drive Z:.
std::wstring windows_path(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (!path.empty() && path.front() == L'\\') {
        path.insert(0, L"Z:");
    }
    return path;
}

std::wstring widen(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

}  // namespace

std::wstring build_directory() { return windows_path(widen(TOVALEN_BUILD_DIR)); }

std::wstring tovalen_program_path() { return build_file(L"tovalen.exe"); }

std::wstring build_file(const std::wstring& relative) { return build_directory() + L"\\" + windows_path(relative); }

std::wstring program_folder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path, length < MAX_PATH ? length : 0);
    return program.substr(0, program.rfind(L'\\'));
}

}  // namespace tovalen::testing

namespace tovalen::testing {

bool path_exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string file_bytes(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        return {};
    }
    std::string bytes;
    char block[4096];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0;) {
        bytes.append(block, count);
    }
    std::fclose(file);
    return bytes;
}

std::wstring read_utf16_file(const std::wstring& path)
{
    const std::string bytes = file_bytes(path);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

}  // namespace tovalen::testing

namespace tovalen::testing {

std::vector<std::pair<std::wstring, std::wstring>> decode_json_on_host(const std::string& relative)
{
    const std::wstring decoded = build_file(widen(relative.c_str()) + L".decoded");
    ::DeleteFileW(decoded.c_str());
    // Wine runs a host program given by its path, but hands back no process to wait for: the
    // result file, which appears whole, tells that it is done.
    const std::string host_file = std::string(TOVALEN_BUILD_DIR) + "/" + relative;
    std::wstring command_line = L"Z:\\usr\\bin\\python3 \"" + widen(TOVALEN_SOURCE_DIR) +
                                L"/tests/support/decode_json.py\" \"" + widen(host_file.c_str()) + L"\" \"" +
                                widen(host_file.c_str()) + L".decoded\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        return {{L"error", L"python3 could not be started"}};
    }
    platform::UniqueKernelHandle process_handle(process.hProcess);
    platform::UniqueKernelHandle thread_handle(process.hThread);
    if (!wait_until([&] { return path_exists(decoded); })) {
        return {{L"error", L"python3 wrote no result"}};
    }
    const std::wstring fields = read_utf16_file(decoded);
    ::DeleteFileW(decoded.c_str());
    std::vector<std::pair<std::wstring, std::wstring>> members;
    std::size_t start = 0;
    for (std::size_t name_end; (name_end = fields.find(L'\0', start)) != std::wstring::npos;) {
        const std::size_t text_end = fields.find(L'\0', name_end + 1);
        if (text_end == std::wstring::npos) {
            break;
        }
        members.emplace_back(fields.substr(start, name_end - start), fields.substr(name_end + 1, text_end - name_end - 1));
        start = text_end + 1;
    }
    return members;
}

}  // namespace tovalen::testing
