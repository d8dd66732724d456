// The account this process runs as, from its own token: what the user's environment says about
// it (USERNAME, USERDOMAIN) anyone can set, the token no one but the system.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace tovalen::platform {

// The token's user SID as its bytes; empty when the token cannot be read.
std::vector<std::byte> process_user_sid();

// The SID as text ("S-1-5-21-..."); empty for an empty or malformed SID.
std::wstring sid_text(const std::vector<std::byte>& sid);

struct AccountName {
    std::wstring domain;  // the account's domain, or the computer for a local account
    std::wstring user;
};

// The name and domain of the token's user, as the system's account lookup gives them; both
// empty when they cannot be had.
AccountName process_account_name();

// The computer's NetBIOS name as the system holds it; empty when it will not say.
std::wstring netbios_computer_name();

}  // namespace tovalen::platform
