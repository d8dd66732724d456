// The computer's and the account's names as the system tells them through other calls than the
// program's own, for the tests to compare its identity lines with.
#pragma once

#include <windows.h>

#include <string>

namespace tovalen::testing {

struct SystemIdentity {
    std::wstring computer;  // GetComputerNameW
    std::wstring domain;    // the domain the account lookup gives for the user's name
    std::wstring user;      // GetUserNameW
};

inline SystemIdentity system_identity()
{
    SystemIdentity identity;
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (::GetComputerNameW(computer, &size)) {
        identity.computer.assign(computer, size);
    }
    wchar_t user[256 + 1] = {};
    size = 256 + 1;
    if (::GetUserNameW(user, &size) && size > 0) {
        identity.user.assign(user, size - 1);  // the size counts the terminator here
    }
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sid_size = sizeof(sid);
    wchar_t domain[256] = {};
    DWORD domain_size = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (::LookupAccountNameW(nullptr, identity.user.c_str(), sid, &sid_size, domain, &domain_size, &use)) {
        identity.domain.assign(domain, domain_size);
    }
    return identity;
}

}  // namespace tovalen::testing
