#include "support/host_stand_ins.h"

#include "support/build_paths.h"
#include "support/polling.h"

#include <windows.h>


namespace tovalen::testing {

namespace {

std::wstring record_file(const wchar_t* stand_in)
{
    return build_file(L"host-stand-ins/records/" + std::wstring(stand_in) + L".txt");
}

std::wstring from_utf8(const std::string& bytes)
{
    if (bytes.empty()) {
        return {};
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

}  // namespace

void clear_host_records()
{
    for (const wchar_t* stand_in : {L"xdg-open", L"xdg-email"}) {
        ::DeleteFileW(record_file(stand_in).c_str());
    }
}

std::vector<std::wstring> host_record(const wchar_t* stand_in)
{
    const std::wstring text = from_utf8(file_bytes(record_file(stand_in)));
    std::vector<std::wstring> arguments;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            break;  // the stand-in is still writing this one
        }
        arguments.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

std::vector<std::wstring> wait_for_host_record(const wchar_t* stand_in)
{
    std::vector<std::wstring> arguments;
    wait_until([&] {
        arguments = host_record(stand_in);
        return !arguments.empty();
    });
    return arguments;
}

}  // namespace tovalen::testing
