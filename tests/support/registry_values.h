// Values of one registry key changed for a test (written or deleted with the real registry
// calls) and put back as they were, type and bytes, when the owner is done. A key the owner had
// to make is deleted again at the end, when nothing else has been put into it meanwhile.
#pragma once

#include "platform/handles.h"

#include <string>
#include <vector>

namespace tovalen::testing {

class RegistryValues {
public:
    // Opens the key, making it when it is missing.
    RegistryValues(HKEY root, const std::wstring& key_path);
    RegistryValues(const RegistryValues&) = delete;
    RegistryValues& operator=(const RegistryValues&) = delete;
    // Puts back whatever restore() has not, and deletes the key if the owner made it.
    ~RegistryValues();

    bool opened() const { return static_cast<bool>(key_); }
    bool set_text(const std::wstring& name, const std::wstring& text);
    bool set_number(const std::wstring& name, DWORD number);
    // Any type and any bytes, as a hostile or broken writer leaves them.
    bool set(const std::wstring& name, DWORD type, const void* data, std::size_t size);
    bool remove(const std::wstring& name);
    // Every changed value as it was before the first change; true when all of them are.
    bool restore();

private:
    struct Original {
        std::wstring name;
        bool existed = false;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };

    void save_once(const std::wstring& name);
    void delete_made_key();

    HKEY root_;
    std::wstring key_path_;
    bool made_key_ = false;
    std::wstring first_made_;  // the outermost key the owner made, when it made any
    platform::UniqueKey key_;
    std::vector<Original> originals_;
};

}  // namespace tovalen::testing
