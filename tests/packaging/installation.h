// What an installation of the package left on the machine, read from the real file system,
// registry and Windows Installer database, and msiexec run the way a deployment tool runs it.
#pragma once

#include <windows.h>

#include <map>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

namespace tovalen::testing {

// msiexec with the given arguments; its exit code (or a wait failure as ERROR_TIMEOUT).
DWORD run_msiexec(const std::wstring& arguments);
// `properties` are given on msiexec's command line as they are ("NAME=value ...").
DWORD install_silently(const std::wstring& package, const std::wstring& properties = L"");
DWORD uninstall_silently(const std::wstring& package_or_product_code);

// The products installed with the package's upgrade code.
std::vector<std::wstring> installed_products();
std::wstring product_info(const std::wstring& product_code, const wchar_t* property);
// Takes every installed version away again; used before and after each test.
void remove_every_installed_version();
// Deletes what a failed test may have left without any installation owning it (the program
// file, licence and folder, the shortcut, the Run value, the installer's own key), so that one
// failure does not fail every later run too. The policy key is left alone: nothing tells an
// installer's leftover there from a value Group Policy set.
void remove_leftovers();

// "<Program Files>\Tovalen\tovalen.exe" of the 64-bit view.
std::wstring expected_program_path();
std::wstring folder_of(const std::wstring& path);
// "<Program Files>\Tovalen\LICENSE".
std::wstring expected_license_path();
// "Tovalen.lnk" in the Start menu's programs folder of all users, where Windows Installer puts the
// shortcut of a per-machine package, or in the installing user's, where Wine's installer puts it
// (Wine 8 resolves ProgramMenuFolder to the user's folder whatever ALLUSERS is).
std::vector<std::wstring> possible_shortcut_paths();
// The one of those that exists; empty when none does.
std::wstring installed_shortcut();

// What a shortcut file starts and shows, read through the shell's own shortcut object.
struct ShortcutView {
    std::wstring target;
    std::wstring working_directory;
    std::wstring icon_file;
    int icon_index = 0;
    bool operator==(const ShortcutView&) const = default;
};
std::optional<ShortcutView> read_shortcut(const std::wstring& path);

enum class RegistryView { native64, wow32 };
std::optional<std::wstring> run_value(RegistryView view = RegistryView::native64);

// The values of a key of HKEY_LOCAL_MACHINE (64-bit view) by name: the text of each REG_SZ
// value, "(type N)" for a value of any other type. Empty when the key is missing.
using RegistryTexts = std::map<std::wstring, std::wstring>;
RegistryTexts machine_values(const std::wstring& key_path);
// Of those, the company values the program reads (from the policy key and the installer's).
RegistryTexts company_values(const std::wstring& key_path);

// A row of a package's Shortcut table.
struct ShortcutRow {
    std::wstring directory;
    std::wstring name;
    std::wstring target;
    std::wstring icon;
    std::wstring working_directory;
    bool operator==(const ShortcutRow&) const = default;
};
// The Shortcut table of a package file, read through the installer's database calls.
std::vector<ShortcutRow> shortcut_rows(const std::wstring& package);
// The rows a query selects from a package file's tables, each a list of its columns' texts; none
// when the package or the table cannot be read.
using TableRows = std::vector<std::vector<std::wstring>>;
TableRows package_rows(const std::wstring& package, const wchar_t* query);

// One entry of an access list: its kind (ACCESS_ALLOWED_ACE_TYPE, ...), inheritance and rights.
struct AccessEntry {
    BYTE type = 0;
    BYTE inheritance = 0;
    ACCESS_MASK rights = 0;
    bool operator==(const AccessEntry&) const = default;
};
// A security descriptor's access list as Windows reads it from SDDL text: whether it is protected
// from what the parent grants, and its entries by trustee (as "S-1-..."), sorted by trustee.
struct AccessList {
    bool protected_from_parent = false;
    std::vector<std::pair<std::wstring, AccessEntry>> entries;
    bool operator==(const AccessList&) const = default;
};
// Nothing when Windows cannot read the text.
std::optional<AccessList> access_list_of(const std::wstring& sddl);

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

// "major.minor.patch" of a program's version resource.
std::wstring file_version(const std::wstring& path);

// Everything the installer writes that a test can see, in one comparable record.
struct InstallationSnapshot {
    FileState program;
    FileState license;
    // What it points to: Wine's installer writes the shortcut again at every maintenance run,
    // with the target's new access time in it.
    std::optional<ShortcutView> shortcut;
    std::optional<std::wstring> run;
    RegistryTexts policy;
    RegistryTexts installer_record;
    std::vector<UninstallEntry> entries;
    std::vector<std::wstring> products;
    bool operator==(const InstallationSnapshot&) const = default;
};
InstallationSnapshot take_snapshot();
// Field by field, for a failed comparison.
void PrintTo(const FileState& file, std::ostream* out);
void PrintTo(const InstallationSnapshot& snapshot, std::ostream* out);

}  // namespace tovalen::testing
