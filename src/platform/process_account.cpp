#include "platform/process_account.h"

#include "platform/handles.h"

#include <sddl.h>

namespace tovalen::platform {

std::vector<std::byte> process_user_sid()
{
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    // TOKEN_USER holds a pointer into the same buffer, so the buffer must be aligned for it.
    std::vector<TOKEN_USER> buffer(size / sizeof(TOKEN_USER) + 1);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(),
                                            static_cast<DWORD>(buffer.size() * sizeof(TOKEN_USER)), &size)) {
        return {};
    }
    const PSID sid = buffer.front().User.Sid;
    if (!::IsValidSid(sid)) {
        return {};
    }
    const auto* bytes = static_cast<const std::byte*>(sid);
    return std::vector<std::byte>(bytes, bytes + ::GetLengthSid(sid));
}

std::wstring sid_text(const std::vector<std::byte>& sid)
{
    PSID raw = const_cast<std::byte*>(sid.data());
    wchar_t* text = nullptr;
    if (sid.empty() || !::IsValidSid(raw) || !::ConvertSidToStringSidW(raw, &text)) {
        return {};
    }
    const UniqueLocalMemory owner(text);
    return text;
}

AccountName process_account_name()
{
    std::vector<std::byte> sid = process_user_sid();
    if (sid.empty()) {
        return {};
    }
    DWORD user_size = 64;
    DWORD domain_size = 64;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring user(user_size, L'\0');
        std::wstring domain(domain_size, L'\0');
        SID_NAME_USE use = SidTypeUnknown;
        if (::LookupAccountSidW(nullptr, sid.data(), user.data(), &user_size, domain.data(), &domain_size, &use)) {
            // On success the sizes are the lengths without the terminator.
            user.resize(user_size);
            domain.resize(domain_size);
            return AccountName{std::move(domain), std::move(user)};
        }
        // Too small: the sizes now hold what is needed, terminators included.
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return {};
        }
    }
    return {};
}

std::wstring netbios_computer_name()
{
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring name(size, L'\0');
        if (::GetComputerNameExW(ComputerNameNetBIOS, name.data(), &size)) {
            name.resize(size);
            return name;
        }
        if (::GetLastError() != ERROR_MORE_DATA) {
            return {};
        }
    }
    return {};
}

}  // namespace tovalen::platform
