#include "packaging/installation.h"

#include "platform/handles.h"

#include <msi.h>
#include <shlobj.h>

#include <algorithm>

namespace tovalen::testing {

namespace {

using platform::UniqueCoTaskMemory;
using platform::UniqueFileHandle;
using platform::UniqueKernelHandle;
using platform::UniqueKey;

constexpr DWORD MSIEXEC_TIMEOUT_MS = 120000;
constexpr wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t UNINSTALL_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t RUN_VALUE_NAME[] = L"Tovalen";

REGSAM view_flag(RegistryView view) { return view == RegistryView::native64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

UniqueKey open_machine_key(const std::wstring& path, RegistryView view)
{
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view_flag(view), key.put()) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

std::optional<std::wstring> string_value(HKEY key, const wchar_t* name)
{
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

std::wstring text_or_empty(HKEY key, const wchar_t* name) { return string_value(key, name).value_or(L""); }

DWORD number_or_zero(HKEY key, const wchar_t* name)
{
    DWORD type = 0;
    DWORD value = 0;
    DWORD bytes = sizeof value;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return 0;
    }
    return value;
}

ULONGLONG as_integer(DWORD high, DWORD low) { return (static_cast<ULONGLONG>(high) << 32) | low; }

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

DWORD install_silently(const std::wstring& package) { return run_msiexec(L"/i \"" + package + L"\" /qn"); }

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
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = static_cast<DWORD>(value.size());
        const UINT result = ::MsiGetProductInfoW(product_code.c_str(), property, value.data(), &length);
        if (result == ERROR_SUCCESS) {
            value.resize(length);
            return value;
        }
        if (result != ERROR_MORE_DATA) {
            return {};
        }
        value.resize(static_cast<std::size_t>(length) + 1);
    }
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
    ::RemoveDirectoryW(folder_of(program).c_str());
    UniqueKey run;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, RUN_KEY, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, run.put()) == ERROR_SUCCESS) {
        ::RegDeleteValueW(run.get(), RUN_VALUE_NAME);
    }
}

std::wstring expected_program_path()
{
    UniqueCoTaskMemory folder;
    PWSTR raw = nullptr;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &raw))) {
        return {};
    }
    folder.reset(raw);
    return std::wstring(static_cast<const wchar_t*>(folder.get())) + L"\\Tovalen\\tovalen.exe";
}

std::wstring folder_of(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::optional<std::wstring> run_value(RegistryView view)
{
    const UniqueKey key = open_machine_key(RUN_KEY, view);
    if (!key) {
        return std::nullopt;
    }
    return string_value(key.get(), RUN_VALUE_NAME);
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
        const UniqueKey entry = open_machine_key(std::wstring(UNINSTALL_KEY) + L"\\" + name, view);
        if (!entry || text_or_empty(entry.get(), L"DisplayName") != L"Tovalen") {
            continue;
        }
        entries.push_back({name, L"Tovalen", text_or_empty(entry.get(), L"DisplayVersion"),
                           text_or_empty(entry.get(), L"Publisher"), text_or_empty(entry.get(), L"InstallDate"),
                           number_or_zero(entry.get(), L"NoModify")});
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

bool path_exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<unsigned char> file_bytes(const std::wstring& path)
{
    std::vector<unsigned char> bytes;
    const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) {
        return bytes;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        bytes.clear();
    }
    return bytes;
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
    return {file_state(expected_program_path()), run_value(), tovalen_uninstall_entries(), installed_products()};
}

}  // namespace tovalen::testing
