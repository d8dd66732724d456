// What an installation of the package left on the machine, read from the real file system,
// registry and Windows Installer database, and msiexec run the way a deployment tool runs it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tovalen::testing {

// msiexec with the given arguments; its exit code (or a wait failure as ERROR_TIMEOUT).
DWORD run_msiexec(const std::wstring& arguments);
DWORD install_silently(const std::wstring& package);
DWORD uninstall_silently(const std::wstring& package_or_product_code);

// The products installed with the package's upgrade code.
std::vector<std::wstring> installed_products();
std::wstring product_info(const std::wstring& product_code, const wchar_t* property);
// Takes every installed version away again; used before and after each test.
void remove_every_installed_version();
// Deletes what a failed test may have left without any installation owning it (the program
// file and folder, the Run value), so that one failure does not fail every later run too.
void remove_leftovers();

// "<Program Files>\Tovalen\tovalen.exe" of the 64-bit view.
std::wstring expected_program_path();
std::wstring folder_of(const std::wstring& path);

enum class RegistryView { native64, wow32 };
std::optional<std::wstring> run_value(RegistryView view = RegistryView::native64);

struct UninstallEntry {
    std::wstring key_name;
    std::wstring display_name;
    std::wstring display_version;
    std::wstring publisher;
    std::wstring install_date;
    DWORD no_modify = 0;
    bool operator==(const UninstallEntry&) const = default;
};
// The uninstall entries named "Tovalen" in the given view.
std::vector<UninstallEntry> tovalen_uninstall_entries(RegistryView view = RegistryView::native64);

struct FileState {
    bool exists = false;
    ULONGLONG size = 0;
    ULONGLONG last_write = 0;
    bool operator==(const FileState&) const = default;
};
FileState file_state(const std::wstring& path);
bool path_exists(const std::wstring& path);
std::vector<unsigned char> file_bytes(const std::wstring& path);

// "major.minor.patch" of a program's version resource.
std::wstring file_version(const std::wstring& path);

// Everything the installer writes that a test can see, in one comparable record.
struct InstallationSnapshot {
    FileState program;
    std::optional<std::wstring> run;
    std::vector<UninstallEntry> entries;
    std::vector<std::wstring> products;
    bool operator==(const InstallationSnapshot&) const = default;
};
InstallationSnapshot take_snapshot();

}  // namespace tovalen::testing
