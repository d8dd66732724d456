#include "report/collectors.h"

#include "platform/system_calls.h"
#include "report/registry_rendering.h"

#include <new>
#include <stdexcept>
#include <vector>

namespace tovalen {

std::wstring system_message(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    platform::UniqueLocalMemory owner(buffer);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

std::wstring expand_environment_strings(const std::wstring& stored)
{
    const DWORD needed = ::ExpandEnvironmentStringsW(stored.c_str(), nullptr, 0);
    if (needed == 0) {
        return {};
    }
    std::vector<wchar_t> expanded(static_cast<std::size_t>(needed) + 1, L'\0');
    if (::ExpandEnvironmentStringsW(stored.c_str(), expanded.data(), static_cast<DWORD>(expanded.size())) == 0) {
        return {};
    }
    return std::wstring(expanded.data());
}

namespace {

// Ends a read: fills the caller's record when there is one and returns the text.
std::wstring finish_read(RegistryReadResult* result, LSTATUS status, DWORD type, DWORD size, std::wstring text)
{
    if (result != nullptr) {
        result->type = type;
        result->size = size;
        result->text = text;
        result->status = status;
        result->status_text = status == ERROR_SUCCESS ? std::wstring() : system_message(static_cast<DWORD>(status));
    }
    return text;
}

std::wstring read_value(HKEY root, std::wstring_view key_path, std::wstring_view value_name, bool use_32bit_view,
                       RegistryReadResult* result)
{
    const std::wstring path = normalise_key_path(key_path);
    const std::wstring name(value_name);
    const REGSAM access = KEY_READ | (use_32bit_view ? KEY_WOW64_32KEY : 0);

    platform::UniqueKey key;
    LSTATUS status = ::RegOpenKeyExW(root, path.c_str(), 0, access, key.put());
    if (status != ERROR_SUCCESS) {
        return finish_read(result, status, REG_NONE, 0, {});
    }
    const auto query = platform::system_calls().query_registry_value;
    DWORD size = 0;
    status = query(key.get(), name.c_str(), nullptr, nullptr, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        return finish_read(result, status, REG_NONE, 0, {});
    }
    std::vector<std::uint8_t> data;
    DWORD type = REG_NONE;
    // Another program may write a longer value between the two questions; the failed reading
    // tells the new size.
    for (int reading = 1; reading <= REGISTRY_VALUE_READINGS; ++reading) {
        data.assign(size, 0);
        status = query(key.get(), name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        // Asked without a buffer (the value was empty), a grown value is told by its size alone.
        if (status == ERROR_SUCCESS && size > data.size()) {
            status = ERROR_MORE_DATA;
        }
        if (status != ERROR_MORE_DATA) {
            break;
        }
    }
    key.reset();
    if (status != ERROR_SUCCESS) {
        return finish_read(result, status, type, size, {});
    }
    // The second answer may be shorter than the first; only what it returned counts.
    data.resize(size < data.size() ? size : data.size());
    RenderedRegistryValue rendered = render_registry_data(type, data);
    if (rendered.needs_expansion) {
        rendered.text = expand_environment_strings(rendered.text);
    }
    return finish_read(result, ERROR_SUCCESS, type, size, std::move(rendered.text));
}

}  // namespace

std::wstring read_registry_value(HKEY root, std::wstring_view key_path, std::wstring_view value_name,
                                 bool use_32bit_view, RegistryReadResult* result)
{
    try {
        return read_value(root, key_path, value_name, use_32bit_view, result);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // A buffer that could not be reserved (data or expansion): empty text, as for any failed read.
    if (result != nullptr) {
        result->type = REG_NONE;
        result->size = 0;
        result->text.clear();
        result->status = ERROR_NOT_ENOUGH_MEMORY;
        result->status_text.clear();
    }
    return {};
}

}  // namespace tovalen
