#include "platform/report_file_rules.h"

#include "report/hex_text.h"

#include <algorithm>

namespace tovalen::platform {

namespace {

constexpr std::wstring_view LOCAL_PREFIX = L"\\\\?\\";
constexpr std::wstring_view UNC_PREFIX = L"\\\\?\\UNC\\";
constexpr std::wstring_view DEVICE_PREFIX = L"\\\\.\\";

// Rights that let their holder put a file or folder into a folder or take one out of it.
constexpr std::uint32_t ADD_FILE = 0x0002;
constexpr std::uint32_t ADD_SUBDIRECTORY = 0x0004;
constexpr std::uint32_t DELETE_CHILD = 0x0040;
constexpr std::uint32_t GENERIC_ALL_RIGHTS = 0x10000000;
constexpr std::uint32_t GENERIC_WRITE_RIGHTS = 0x40000000;
constexpr std::uint32_t CHANGING_RIGHTS = ADD_FILE | ADD_SUBDIRECTORY | DELETE_CHILD | GENERIC_ALL_RIGHTS | GENERIC_WRITE_RIGHTS;

constexpr std::wstring_view TRUSTED_ACCOUNTS[] = {
    L"S-1-5-18",      // SYSTEM
    L"S-1-5-32-544",  // Administrators
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};

wchar_t ascii_upper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// "\\?\C:\a\" and "c:\a" both become "C:\A"; "\\?\UNC\s\h" becomes "\\S\H".
std::wstring comparable_folder(std::wstring_view path)
{
    std::wstring text;
    if (path.size() >= UNC_PREFIX.size() && std::equal(UNC_PREFIX.begin(), UNC_PREFIX.end(), path.begin(),
                                                       [](wchar_t a, wchar_t b) { return a == ascii_upper(b); })) {
        text = L"\\\\";
        path.remove_prefix(UNC_PREFIX.size());
    } else if (path.starts_with(LOCAL_PREFIX)) {
        path.remove_prefix(LOCAL_PREFIX.size());
    }
    text += path;
    while (!text.empty() && text.back() == L'\\') {
        text.pop_back();
    }
    for (wchar_t& c : text) {
        c = ascii_upper(c);
    }
    return text;
}

}  // namespace

std::optional<FilePlace> split_file_path(std::wstring_view full_path)
{
    const std::size_t last = full_path.rfind(L'\\');
    if (last == std::wstring_view::npos || last + 1 == full_path.size()) {
        return std::nullopt;
    }
    // A root keeps its separator: "C:" alone would mean the current folder of that drive, and an
    // empty folder none at all.
    const std::size_t folder_end = last == 0 || full_path[last - 1] == L':' ? last + 1 : last;
    return FilePlace{std::wstring(full_path.substr(0, folder_end)), std::wstring(full_path.substr(last + 1))};
}

bool is_device_path(std::wstring_view full_path)
{
    return full_path.starts_with(DEVICE_PREFIX);
}

bool names_same_folder(std::wstring_view named, std::wstring_view final_path)
{
    const std::wstring folder = comparable_folder(named);
    return !folder.empty() && folder == comparable_folder(final_path);
}

bool is_trusted_account(std::wstring_view sid)
{
    for (const std::wstring_view trusted : TRUSTED_ACCOUNTS) {
        if (sid == trusted) {
            return true;
        }
    }
    return false;
}

bool may_write_as_elevated(const FolderSecurity& folder)
{
    if (is_trusted_account(folder.owner)) {
        return true;
    }
    if (!folder.has_access_list) {
        return false;
    }
    for (const AccessEntry& entry : folder.entries) {
        // Entries meant only for what is made inside the folder give no right on the folder.
        if (entry.allows && !entry.inherit_only && (entry.rights & CHANGING_RIGHTS) != 0 &&
            !is_trusted_account(entry.trustee)) {
            return false;
        }
    }
    return true;
}

std::wstring temporary_file_name(const std::array<std::uint8_t, TEMPORARY_NAME_RANDOM_BYTES>& random)
{
    std::wstring name = L"tovalen-";
    for (const std::uint8_t byte : random) {
        append_hex_byte(name, byte);
    }
    return name + L".tmp";
}

}  // namespace tovalen::platform
