#include "support/registry_values.h"

namespace tovalen::testing {

namespace {

bool key_exists(HKEY root, const std::wstring& path)
{
    platform::UniqueKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

bool key_is_empty(HKEY root, const std::wstring& path)
{
    platform::UniqueKey key;
    DWORD subkeys = 0;
    DWORD values = 0;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
           ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                              nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

std::wstring parent_of(const std::wstring& path)
{
    const std::size_t last = path.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

}  // namespace

RegistryValues::RegistryValues(HKEY root, const std::wstring& key_path) : root_(root), key_path_(key_path)
{
    // The outermost key that the making will add, so that all it adds can go again.
    for (std::wstring path = key_path; !path.empty() && !key_exists(root, path); path = parent_of(path)) {
        first_made_ = path;
    }
    DWORD disposition = 0;
    if (::RegCreateKeyExW(root, key_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), &disposition) !=
        ERROR_SUCCESS) {
        key_.reset();
    }
    made_key_ = key_ && disposition == REG_CREATED_NEW_KEY;
}

RegistryValues::~RegistryValues()
{
    restore();
    delete_made_key();
}

void RegistryValues::delete_made_key()
{
    if (!made_key_) {
        return;
    }
    key_.reset();
    // Innermost first, each only while nothing else has been put into it meanwhile.
    for (std::wstring path = key_path_; path.size() >= first_made_.size() && key_is_empty(root_, path);
         path = parent_of(path)) {
        ::RegDeleteKeyW(root_, path.c_str());
    }
}

void RegistryValues::save_once(const std::wstring& name)
{
    for (const Original& original : originals_) {
        if (original.name == name) {
            return;
        }
    }
    Original original;
    original.name = name;
    DWORD size = 0;
    original.existed =
        ::RegQueryValueExW(key_.get(), name.c_str(), nullptr, &original.type, nullptr, &size) == ERROR_SUCCESS;
    original.data.resize(size);
    if (original.existed && size > 0) {
        ::RegQueryValueExW(key_.get(), name.c_str(), nullptr, &original.type, original.data.data(), &size);
        original.data.resize(size);
    }
    originals_.push_back(std::move(original));
}

bool RegistryValues::set(const std::wstring& name, DWORD type, const void* data, std::size_t size)
{
    if (!key_) {
        return false;
    }
    save_once(name);
    return ::RegSetValueExW(key_.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                            static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool RegistryValues::set_text(const std::wstring& name, const std::wstring& text)
{
    return set(name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool RegistryValues::set_number(const std::wstring& name, DWORD number)
{
    return set(name, REG_DWORD, &number, sizeof(number));
}

bool RegistryValues::remove(const std::wstring& name)
{
    if (!key_) {
        return false;
    }
    save_once(name);
    const LSTATUS status = ::RegDeleteValueW(key_.get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool RegistryValues::restore()
{
    bool all = true;
    for (const Original& original : originals_) {
        const LSTATUS status =
            original.existed
                ? ::RegSetValueExW(key_.get(), original.name.c_str(), 0, original.type, original.data.data(),
                                   static_cast<DWORD>(original.data.size()))
                : ::RegDeleteValueW(key_.get(), original.name.c_str());
        all = all && (status == ERROR_SUCCESS || (!original.existed && status == ERROR_FILE_NOT_FOUND));
    }
    originals_.clear();
    return all;
}

}  // namespace tovalen::testing
