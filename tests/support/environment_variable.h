// One environment variable of this process changed for a test and put back (or removed again)
// when the owner is done.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tovalen::testing {

class EnvironmentVariable {
public:
    explicit EnvironmentVariable(std::wstring name) : name_(std::move(name)), original_(read(name_)) {}
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;
    ~EnvironmentVariable() { restore(); }

    const std::optional<std::wstring>& original() const { return original_; }
    bool set(const std::wstring& value) { return ::SetEnvironmentVariableW(name_.c_str(), value.c_str()) != FALSE; }
    bool restore()
    {
        ::SetEnvironmentVariableW(name_.c_str(), original_ ? original_->c_str() : nullptr);
        return read(name_) == original_;
    }

private:
    static std::optional<std::wstring> read(const std::wstring& name)
    {
        const DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
        if (needed == 0) {
            return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::wstring>(L"");
        }
        std::vector<wchar_t> value(needed, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(), needed);
        return std::wstring(value.data(), length < needed ? length : 0);
    }

    std::wstring name_;
    std::optional<std::wstring> original_;
};

}  // namespace tovalen::testing
