#include "support/build_paths.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

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

std::wstring read_utf16_file(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        return {};
    }
    std::wstring text;
    wchar_t block[512];
    for (std::size_t count; (count = std::fread(block, sizeof(wchar_t), 512, file)) > 0;) {
        text.append(block, count);
    }
    std::fclose(file);
    return text;
}

}  // namespace tovalen::testing
