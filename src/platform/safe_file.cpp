#include "platform/safe_file.h"

#include "platform/handles.h"
#include "platform/report_file_rules.h"
#include "platform/system_folder.h"

#include <winternl.h>
#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace tovalen::platform {

namespace {

constexpr DWORD SHARE_ALL_BUT_DELETE = FILE_SHARE_READ | FILE_SHARE_WRITE;

WriteOutcome system_error(DWORD error)
{
    return WriteOutcome{error, {}};
}

WriteOutcome refused(std::wstring reason)
{
    return WriteOutcome{ERROR_SUCCESS, std::move(reason)};
}

bool failed(const WriteOutcome& outcome)
{
    return outcome.error != ERROR_SUCCESS || !outcome.refusal.empty();
}

// Calls a function that fills a buffer and says how long it needs, until the buffer is enough.
template <typename Fill>
std::wstring grown_text(Fill fill)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

std::wstring full_path(const std::wstring& path)
{
    return grown_text([&](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
}

// Short 8.3 parts of the name spelled out, as the final path of a handle spells them.
std::wstring long_path(const std::wstring& path)
{
    std::wstring spelled =
        grown_text([&](wchar_t* buffer, DWORD size) { return ::GetLongPathNameW(path.c_str(), buffer, size); });
    return spelled.empty() ? path : spelled;
}

std::wstring final_path(HANDLE handle)
{
    return grown_text([&](wchar_t* buffer, DWORD size) {
        return ::GetFinalPathNameByHandleW(handle, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
}

std::wstring sid_text(PSID sid)
{
    wchar_t* text = nullptr;
    if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const UniqueLocalMemory owner(text);
    return text;
}

struct Caller {
    bool powerful = false;  // elevated, or SYSTEM
    std::wstring user;      // the token's user as a SID string
};

Caller calling_account()
{
    Caller caller;
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        caller.powerful = true;  // unknown: hold the folder to the stricter rule
        return caller;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    caller.powerful = !::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) ||
                      elevation.TokenIsElevated != 0;
    std::vector<unsigned char> user(256);
    while (!::GetTokenInformation(token.get(), TokenUser, user.data(), static_cast<DWORD>(user.size()), &size)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return caller;
        }
        user.resize(size);
    }
    caller.user = sid_text(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
    caller.powerful = caller.powerful || is_trusted_account(caller.user);
    return caller;
}

FolderSecurity folder_security(HANDLE folder, DWORD& error)
{
    FolderSecurity security;
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    error = ::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &list, nullptr, &descriptor);
    const UniqueLocalMemory descriptor_owner(descriptor);
    if (error != ERROR_SUCCESS) {
        return security;
    }
    security.owner = sid_text(owner);
    security.has_access_list = list != nullptr;
    // An entry that cannot be read, or of a granting kind not read here (a callback or object
    // entry), is taken to grant everything.
    const AccessEntry grants_anything{L"", GENERIC_ALL, true, false};
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(list, i, reinterpret_cast<void**>(&header))) {  // NOLINT(bugprone-branch-clone): alike on purpose
            security.entries.push_back(grants_anything);
        } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
            // Both kinds begin alike: the header, the rights, then the trustee's SID.
            auto* entry = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            security.entries.push_back(AccessEntry{sid_text(&entry->SidStart), entry->Mask,
                                                   header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                                                   (header->AceFlags & INHERIT_ONLY_ACE) != 0});
        } else if (header->AceType != ACCESS_DENIED_OBJECT_ACE_TYPE && header->AceType != ACCESS_DENIED_CALLBACK_ACE_TYPE &&
                   header->AceType != ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE) {
            security.entries.push_back(grants_anything);
        }
    }
    return security;
}

// The folder, held without delete sharing so that it cannot be moved or replaced meanwhile.
WriteOutcome open_checked_folder(const std::wstring& named, const Caller& caller, UniqueFileHandle& folder)
{
    const DWORD access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE | SYNCHRONIZE | (caller.powerful ? READ_CONTROL : 0);
    folder.reset(::CreateFileW(named.c_str(), access, SHARE_ALL_BUT_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) {
        return system_error(::GetLastError());
    }
    const std::wstring reached = final_path(folder.get());
    if (reached.empty()) {
        return system_error(::GetLastError());
    }
    if (!names_same_folder(long_path(named), reached)) {
        return refused(L"the folder is reached through a link (to " + reached + L"); name the folder itself");
    }
    if (caller.powerful) {
        DWORD error = ERROR_SUCCESS;
        const FolderSecurity security = folder_security(folder.get(), error);
        if (error != ERROR_SUCCESS) {
            return system_error(error);
        }
        if (!may_write_as_elevated(security)) {
            return refused(L"the folder belongs to " + security.owner +
                           L" and others may change it; an elevated or SYSTEM run writes only into a folder that "
                           L"SYSTEM or the administrators own or alone may change");
        }
    }
    return {};
}

// SYSTEM and Administrators, and the calling user when that is not SYSTEM: nobody else, and
// nothing taken from the folder.
UniqueLocalMemory file_descriptor(const Caller& caller)
{
    std::wstring text = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";
    if (!caller.user.empty() && !is_trusted_account(caller.user)) {
        text += L"(A;;FA;;;" + caller.user + L")";
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
    return UniqueLocalMemory(descriptor);
}

DWORD random_name(std::wstring& name)
{
    std::array<std::uint8_t, TEMPORARY_NAME_RANDOM_BYTES> random{};
    if (!::RtlGenRandom(random.data(), static_cast<ULONG>(random.size()))) {
        return ERROR_GEN_FAILURE;
    }
    name = temporary_file_name(random);
    return ERROR_SUCCESS;
}

// The file system's own calls, from the library every process has loaded; looked up so that the
// program imports only what the system always takes from its own folder.
struct FileSystemCalls {
    decltype(&::NtCreateFile) create_file =
        system_routine<decltype(&::NtCreateFile)>(L"ntdll.dll", "NtCreateFile");
    decltype(&::NtSetInformationFile) set_information =
        system_routine<decltype(&::NtSetInformationFile)>(L"ntdll.dll", "NtSetInformationFile");
    decltype(&::RtlNtStatusToDosError) error_of =
        system_routine<decltype(&::RtlNtStatusToDosError)>(L"ntdll.dll", "RtlNtStatusToDosError");
};

const FileSystemCalls& file_system()
{
    static const FileSystemCalls calls;
    return calls;
}

DWORD set_deletion(HANDLE file, bool deleted)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) ? ERROR_SUCCESS
                                                                                                    : ::GetLastError();
}

// A new file inside the open folder, found through its handle rather than by path; marked for
// deletion at once, so that a run that fails or is ended leaves nothing behind.
DWORD create_temporary(HANDLE folder, const std::wstring& name, PSECURITY_DESCRIPTOR descriptor, UniqueFileHandle& file)
{
    UNICODE_STRING object_name{};
    object_name.Buffer = const_cast<wchar_t*>(name.c_str());
    object_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    object_name.MaximumLength = object_name.Length;
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, folder, descriptor);
    IO_STATUS_BLOCK status_block{};
    HANDLE created = nullptr;
    const FileSystemCalls& calls = file_system();
    if (calls.create_file == nullptr || calls.error_of == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    const NTSTATUS status = calls.create_file(&created, GENERIC_WRITE | DELETE | SYNCHRONIZE, &attributes, &status_block,
                                           nullptr, FILE_ATTRIBUTE_NORMAL, 0, FILE_CREATE,
                                           FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (!NT_SUCCESS(status)) {
        return calls.error_of(status);
    }
    file.reset(created);
    return set_deletion(file.get(), true);
}

// Gives the open file the name within the open folder, replacing what had it. The rename is
// asked of the file system directly: the Win32 wrapper would resolve a bare name against the
// current folder on some systems.
DWORD rename_in_folder(HANDLE file, HANDLE folder, const std::wstring& name)
{
    const std::size_t name_bytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<DWORD>(name_bytes);
    std::copy(name.begin(), name.end(), rename->FileName);
    IO_STATUS_BLOCK status_block{};
    const FileSystemCalls& calls = file_system();
    if (calls.set_information == nullptr || calls.error_of == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    const NTSTATUS status = calls.set_information(file, &status_block, rename, static_cast<ULONG>(buffer.size()),
                                                  FileRenameInformation);
    return NT_SUCCESS(status) ? ERROR_SUCCESS : calls.error_of(status);
}

WriteOutcome write_device(const std::wstring& device, std::string_view contents)
{
    const UniqueFileHandle output(::CreateFileW(device.c_str(), GENERIC_WRITE, SHARE_ALL_BUT_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) {
        return system_error(::GetLastError());
    }
    // A disk or a file named the device way would be written over in place, not replaced.
    if (::GetFileType(output.get()) == FILE_TYPE_DISK) {
        return refused(L"it names a disk or file the device way; name a file by its path");
    }
    return system_error(write_all(output.get(), contents));
}

WriteOutcome write_beside(HANDLE folder, const std::wstring& name, std::string_view contents, const Caller& caller)
{
    const UniqueLocalMemory descriptor = file_descriptor(caller);
    if (!descriptor) {
        return system_error(::GetLastError());
    }
    std::wstring temporary;
    DWORD error = random_name(temporary);
    UniqueFileHandle file;
    if (error == ERROR_SUCCESS) {
        error = create_temporary(folder, temporary, descriptor.get(), file);
    }
    if (error == ERROR_SUCCESS) {
        error = write_all(file.get(), contents);
    }
    if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.get())) {
        error = ::GetLastError();
    }
    if (error == ERROR_SUCCESS) {
        error = set_deletion(file.get(), false);
    }
    if (error == ERROR_SUCCESS) {
        error = rename_in_folder(file.get(), folder, name);
        if (error != ERROR_SUCCESS) {
            set_deletion(file.get(), true);
        }
    }
    return system_error(error);
}

}  // namespace

DWORD write_all(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            return ::GetLastError();
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        bytes.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

WriteOutcome replace_file_contents(const std::wstring& path, std::string_view contents)
{
    const std::wstring full = full_path(path);
    if (full.empty()) {
        return system_error(::GetLastError());
    }
    if (is_device_path(full)) {
        return write_device(full, contents);
    }
    const std::optional<FilePlace> place = split_file_path(full);
    if (!place) {
        return refused(L"it names a folder, not a file");
    }
    const Caller caller = calling_account();
    UniqueFileHandle folder;
    WriteOutcome outcome = open_checked_folder(place->folder, caller, folder);
    if (failed(outcome)) {
        return outcome;
    }
    return write_beside(folder.get(), place->name, contents, caller);
}

void trust_no_user_redirection()
{
    using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    const auto set_policy = system_routine<SetPolicy>(L"kernel32.dll", "SetProcessMitigationPolicy");
    if (set_policy == nullptr) {
        return;
    }
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
    policy.EnforceRedirectionTrust = 1;
    // An older Windows refuses a policy it does not know; the folder checks hold without it.
    set_policy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

}  // namespace tovalen::platform
