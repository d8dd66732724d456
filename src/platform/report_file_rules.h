// The decisions behind writing a report file where a more powerful account runs the program:
// whether the folder the caller named is the one the system opened, whether a folder may be
// trusted, and the temporary file's name. Free of Windows headers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovalen::platform {

// A full path cut at its last separator: the folder, and the file's name in it.
struct FilePlace {
    std::wstring folder;
    std::wstring name;
};

// Empty when the path names no file in a folder (it ends in a separator, or has none).
std::optional<FilePlace> split_file_path(std::wstring_view full_path);

// A device the caller named ("\\.\NUL", a pipe): written as it is, never through a folder.
bool is_device_path(std::wstring_view full_path);

// The same folder written the ways the system writes it: with or without the "\\?\" and
// "\\?\UNC\" prefixes, with a trailing separator or none, drive letters and other ASCII letters
// in any case. Anything else that differs (a link's target, a short 8.3 name) is another folder.
bool names_same_folder(std::wstring_view named, std::wstring_view final_path);

// One allowing or denying entry of a folder's access list, its trustee as a SID string.
struct AccessEntry {
    std::wstring trustee;
    std::uint32_t rights = 0;
    bool allows = true;
    bool inherit_only = false;
};

// The folder's owner and access list; no list at all grants everyone everything.
struct FolderSecurity {
    std::wstring owner;
    bool has_access_list = true;
    std::vector<AccessEntry> entries;
};

// The accounts that already rule the machine: SYSTEM, the Administrators group, TrustedInstaller.
bool is_trusted_account(std::wstring_view sid);

// Whether a program running elevated or as SYSTEM may write into the folder: refused when its
// owner is an account of lesser power and someone else than the trusted accounts may add to it
// or delete from it.
bool may_write_as_elevated(const FolderSecurity& folder);

constexpr std::size_t TEMPORARY_NAME_RANDOM_BYTES = 16;

// The temporary file's name, from bytes of the system's random generator.
std::wstring temporary_file_name(const std::array<std::uint8_t, TEMPORARY_NAME_RANDOM_BYTES>& random);

}  // namespace tovalen::platform
