#include "packaging/installation.h"

#include "platform/handles.h"
#include "report/collectors.h"
#include "support/build_paths.h"
#include "policy_names.h"

#include <msi.h>
#include <msiquery.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace tovalen::testing {

namespace {

using platform::UniqueCoTaskMemory;
using platform::UniqueKernelHandle;
using platform::UniqueKey;
using platform::UniqueLocalMemory;

void close_msi_handle(MSIHANDLE handle) noexcept { ::MsiCloseHandle(handle); }
using UniqueMsiHandle = platform::UniqueHandle<MSIHANDLE, close_msi_handle>;

constexpr DWORD MSIEXEC_TIMEOUT_MS = 120000;
constexpr wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t UNINSTALL_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t RUN_VALUE_NAME[] = L"Tovalen";
constexpr const wchar_t* POLICY_VALUE_NAMES[] = {POLICY_HELPDESK_SERVER, POLICY_PRINT_SERVER, POLICY_SUPPORT_MAILBOX,
                                                 POLICY_TICKET_FORM_URL};

REGSAM view_flag(RegistryView view) { return view == RegistryView::native64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

UniqueKey open_machine_key(const std::wstring& path, RegistryView view)
{
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view_flag(view), key.put()) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

// A machine value as the program itself reads it; nothing when it is missing or not text.
std::optional<std::wstring> machine_text(const std::wstring& key_path, const std::wstring& name, RegistryView view)
{
    RegistryReadResult read;
    std::wstring text = read_registry_value(HKEY_LOCAL_MACHINE, key_path, name, view == RegistryView::wow32, &read);
    if (read.status != ERROR_SUCCESS || (read.type != REG_SZ && read.type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return text;
}

DWORD machine_number_or_zero(const std::wstring& key_path, const std::wstring& name, RegistryView view)
{
    RegistryReadResult read;
    const std::wstring text = read_registry_value(HKEY_LOCAL_MACHINE, key_path, name, view == RegistryView::wow32, &read);
    return read.status == ERROR_SUCCESS && read.type == REG_DWORD ? static_cast<DWORD>(std::stol(text)) : 0;
}

ULONGLONG as_integer(DWORD high, DWORD low) { return (static_cast<ULONGLONG>(high) << 32) | low; }

std::wstring known_folder(REFKNOWNFOLDERID id)
{
    UniqueCoTaskMemory folder;
    PWSTR raw = nullptr;
    if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, &raw))) {
        return {};
    }
    folder.reset(raw);
    return static_cast<const wchar_t*>(folder.get());
}

// The installer's text getters take a buffer and its length in characters, and answer
// ERROR_MORE_DATA with the length needed (without the terminating null).
template <typename Getter>
std::wstring installer_text(Getter get)
{
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = static_cast<DWORD>(text.size());
        const UINT result = get(text.data(), &length);
        if (result == ERROR_SUCCESS) {
            text.resize(length);
            return text;
        }
        if (result != ERROR_MORE_DATA) {
            return {};
        }
        text.resize(static_cast<std::size_t>(length) + 1);
    }
}

std::wstring record_text(MSIHANDLE record, UINT field)
{
    return installer_text(
        [&](wchar_t* buffer, DWORD* length) { return ::MsiRecordGetStringW(record, field, buffer, length); });
}

}  // namespace

DWORD run_msiexec(const std::wstring& arguments)
{
    std::wstring command_line = L"msiexec.exe " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return ::GetLastError();
    }
    const UniqueKernelHandle process(info.hProcess);
    const UniqueKernelHandle thread(info.hThread);
    if (::WaitForSingleObject(process.get(), MSIEXEC_TIMEOUT_MS) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), ERROR_TIMEOUT);
        return ERROR_TIMEOUT;
    }
    DWORD code = ERROR_TIMEOUT;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

DWORD install_silently(const std::wstring& package, const std::wstring& properties)
{
    return run_msiexec(L"/i \"" + package + L"\" /qn " + properties);
}

DWORD uninstall_silently(const std::wstring& package_or_product_code)
{
    return run_msiexec(L"/x \"" + package_or_product_code + L"\" /qn");
}

std::vector<std::wstring> installed_products()
{
    std::vector<std::wstring> codes;
    const std::wstring upgrade_code = L"{" TOVALEN_UPGRADE_CODE L"}";
    wchar_t code[39] = {};
    for (DWORD index = 0; ::MsiEnumRelatedProductsW(upgrade_code.c_str(), 0, index, code) == ERROR_SUCCESS; ++index) {
        codes.emplace_back(code);
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::wstring product_info(const std::wstring& product_code, const wchar_t* property)
{
    return installer_text([&](wchar_t* buffer, DWORD* length) {
        return ::MsiGetProductInfoW(product_code.c_str(), property, buffer, length);
    });
}

void remove_every_installed_version()
{
    for (const auto& code : installed_products()) {
        uninstall_silently(code);
    }
}

void remove_leftovers()
{
    const std::wstring program = expected_program_path();
    ::DeleteFileW(program.c_str());
    ::DeleteFileW(expected_license_path().c_str());
    ::RemoveDirectoryW(folder_of(program).c_str());
    for (const auto& shortcut : possible_shortcut_paths()) {
        ::DeleteFileW(shortcut.c_str());
    }
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, TOVALEN_INSTALLER_KEY, KEY_WOW64_64KEY, 0);
    UniqueKey run;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, RUN_KEY, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, run.put()) == ERROR_SUCCESS) {
        ::RegDeleteValueW(run.get(), RUN_VALUE_NAME);
    }
}

std::wstring expected_program_path() { return known_folder(FOLDERID_ProgramFiles) + L"\\Tovalen\\tovalen.exe"; }

std::wstring folder_of(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring expected_license_path() { return folder_of(expected_program_path()) + L"\\LICENSE"; }

std::vector<std::wstring> possible_shortcut_paths()
{
    return {known_folder(FOLDERID_CommonPrograms) + L"\\Tovalen.lnk",
            known_folder(FOLDERID_Programs) + L"\\Tovalen.lnk"};
}

std::wstring installed_shortcut()
{
    for (const auto& path : possible_shortcut_paths()) {
        if (path_exists(path)) {
            return path;
        }
    }
    return {};
}

std::optional<std::wstring> run_value(RegistryView view)
{
    return machine_text(RUN_KEY, RUN_VALUE_NAME, view);
}

RegistryTexts machine_values(const std::wstring& key_path)
{
    RegistryTexts values;
    const UniqueKey key = open_machine_key(key_path, RegistryView::native64);
    if (!key) {
        return values;
    }
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        DWORD type = 0;
        if (::RegEnumValueW(key.get(), index, name.data(), &length, nullptr, &type, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::wstring value_name(name.data(), length);
        values[value_name] = type == REG_SZ ? machine_text(key_path, value_name, RegistryView::native64).value_or(L"(unreadable)")
                                            : L"(type " + std::to_wstring(type) + L")";
    }
    return values;
}

RegistryTexts company_values(const std::wstring& key_path)
{
    RegistryTexts values = machine_values(key_path);
    std::erase_if(values, [](const auto& value) {
        return std::none_of(std::begin(POLICY_VALUE_NAMES), std::end(POLICY_VALUE_NAMES),
                            [&](const wchar_t* name) { return value.first == name; });
    });
    return values;
}

std::optional<ShortcutView> read_shortcut(const std::wstring& path)
{
    if (path.empty()) {
        return std::nullopt;
    }
    const platform::CoInitGuard com;
    platform::ComPtr<IShellLinkW> link;
    platform::ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
        FAILED(link.query(IID_IPersistFile, file.put_void())) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    ShortcutView view;
    wchar_t text[MAX_PATH] = {};
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) {
        view.target = text;
    }
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) {
        view.working_directory = text;
    }
    if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &view.icon_index))) {
        view.icon_file = text;
    }
    return view;
}

std::vector<ShortcutRow> shortcut_rows(const std::wstring& package)
{
    std::vector<ShortcutRow> rows;
    for (const auto& row :
         package_rows(package, L"SELECT `Directory_`, `Name`, `Target`, `Icon_`, `WkDir` FROM `Shortcut`")) {
        rows.push_back({row[0], row[1], row[2], row[3], row[4]});
    }
    return rows;
}

TableRows package_rows(const std::wstring& package, const wchar_t* query)
{
    TableRows rows;
    UniqueMsiHandle database;
    UniqueMsiHandle view;
    if (::MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.put()) != ERROR_SUCCESS ||
        ::MsiDatabaseOpenViewW(database.get(), query, view.put()) != ERROR_SUCCESS ||
        ::MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) {
        return rows;
    }
    for (UniqueMsiHandle record; ::MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS;) {
        auto& row = rows.emplace_back();
        for (UINT field = 1; field <= ::MsiRecordGetFieldCount(record.get()); ++field) {
            row.push_back(record_text(record.get(), field));
        }
    }
    return rows;
}

std::optional<AccessList> access_list_of(const std::wstring& sddl)
{
    UniqueLocalMemory memory;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return std::nullopt;
    }
    memory.reset(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    if (!::GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !present || acl == nullptr) {
        return std::nullopt;
    }
    AccessList list{(control & SE_DACL_PROTECTED) != 0, {}};
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* ace = nullptr;
        if (!::GetAce(acl, index, &ace)) {
            return std::nullopt;
        }
        // Every kind of entry that names a trustee has the allowed entry's layout up to the SID.
        const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        UniqueLocalMemory sid_memory;
        LPWSTR sid = nullptr;
        if (!::ConvertSidToStringSidW(const_cast<DWORD*>(&entry->SidStart), &sid)) {
            return std::nullopt;
        }
        sid_memory.reset(sid);
        list.entries.emplace_back(sid, AccessEntry{entry->Header.AceType, entry->Header.AceFlags, entry->Mask});
    }
    std::sort(list.entries.begin(), list.entries.end(),
              [](const auto& left, const auto& right) { return left.first < right.first; });
    return list;
}

std::vector<UninstallEntry> tovalen_uninstall_entries(RegistryView view)
{
    std::vector<UninstallEntry> entries;
    const UniqueKey uninstall = open_machine_key(UNINSTALL_KEY, view);
    if (!uninstall) {
        return entries;
    }
    wchar_t name[256] = {};
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (::RegEnumKeyExW(uninstall.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::wstring entry = std::wstring(UNINSTALL_KEY) + L"\\" + name;
        const auto text = [&](const wchar_t* value) { return machine_text(entry, value, view).value_or(L""); };
        if (text(L"DisplayName") != L"Tovalen") {
            continue;
        }
        entries.push_back({name, L"Tovalen", text(L"DisplayVersion"), text(L"Publisher"), text(L"InstallDate"),
                           machine_number_or_zero(entry, L"NoModify", view)});
    }
    return entries;
}

FileState file_state(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return {};
    }
    return {true, as_integer(data.nFileSizeHigh, data.nFileSizeLow),
            as_integer(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)};
}

std::wstring file_version(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<unsigned char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixed_size = 0;
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size) || fixed == nullptr) {
        return {};
    }
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
           L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS));
}

InstallationSnapshot take_snapshot()
{
    return {file_state(expected_program_path()),
            file_state(expected_license_path()),
            read_shortcut(installed_shortcut()),
            run_value(),
            company_values(POLICY_KEY),
            machine_values(TOVALEN_INSTALLER_KEY),
            tovalen_uninstall_entries(),
            installed_products()};
}

void PrintTo(const FileState& file, std::ostream* out)
{
    *out << (file.exists ? "{size " + std::to_string(file.size) + ", written " + std::to_string(file.last_write) + "}"
                         : std::string("{missing}"));
}

void PrintTo(const InstallationSnapshot& snapshot, std::ostream* out)
{
    *out << "\n  program ";
    PrintTo(snapshot.program, out);
    *out << "\n  license ";
    PrintTo(snapshot.license, out);
    *out << "\n  shortcut ";
    if (snapshot.shortcut) {
        *out << ::testing::PrintToString(snapshot.shortcut->target) << " in "
             << ::testing::PrintToString(snapshot.shortcut->working_directory) << " icon "
             << ::testing::PrintToString(snapshot.shortcut->icon_file) << "," << snapshot.shortcut->icon_index;
    } else {
        *out << "missing";
    }
    *out << "\n  run " << ::testing::PrintToString(snapshot.run) << "\n  policy "
         << ::testing::PrintToString(snapshot.policy) << "\n  installer record "
         << ::testing::PrintToString(snapshot.installer_record) << "\n  uninstall entries "
         << snapshot.entries.size() << "\n  products " << ::testing::PrintToString(snapshot.products);
}

}  // namespace tovalen::testing
