#include "support/host_stand_ins.h"

#include "support/build_paths.h"
#include "support/polling.h"

#include <windows.h>

#include <cstdio>

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

std::string read_bytes(const std::wstring& path)
{
    std::string bytes;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char block[4096];
        for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0;) {
            bytes.append(block, count);
        }
        std::fclose(file);
    }
    return bytes;
}

int hex_value(char digit)
{
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    return -1;
}

std::string to_utf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
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
    const std::wstring text = from_utf8(read_bytes(record_file(stand_in)));
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

std::wstring percent_decoded(const std::wstring& url)
{
    const std::string bytes = to_utf8(url);
    std::string decoded;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = i + 2 < bytes.size() && bytes[i] == '%' ? hex_value(bytes[i + 1]) : -1;
        const int low = high >= 0 ? hex_value(bytes[i + 2]) : -1;
        if (low >= 0) {
            decoded.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            decoded.push_back(bytes[i]);
        }
    }
    return from_utf8(decoded);
}

}  // namespace tovalen::testing
