// Finding the copy that holds the name, with real named shared memory and real windows of the
// test standing in for a copy's report window.
#include "platform/single_copy.h"

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tovalen::platform {
namespace {

using Standing = SingleCopy::Standing;

constexpr DWORD WAIT_MS = 300;

// A name of the test's own, so that a copy of the program running meanwhile is not disturbed.
std::wstring test_name(int row)
{
    return L"Local\\TovalenTest.OneCopy." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(row);
}

UniqueWindow make_window()
{
    return UniqueWindow(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
}

// How the start before left the name.
enum class Before { announced, starting, announced_no_window, window_gone, other_kind_of_object, other_account };

struct Row {
    const char* what;
    Before before;
    Standing expected;
};

constexpr Row ROWS[] = {
    {"a copy announced its window", Before::announced, Standing::other_found},
    {"a copy is still starting", Before::starting, Standing::other_starting},
    {"a copy made no window and cannot be signalled", Before::announced_no_window, Standing::sole},
    {"the copy's window is gone: it has ended", Before::window_gone, Standing::sole},
    {"an object of another kind holds the name", Before::other_kind_of_object, Standing::unguarded},
    {"another account made the block, open to all", Before::other_account, Standing::unguarded},
};

// A block such as another account in the session could make first: owned by that account (here
// the Administrators group, which is not the user's own account) and open to everyone.
UniqueKernelHandle block_of_another_account(const std::wstring& name)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return UniqueKernelHandle();
    }
    const UniqueLocalMemory owner(descriptor);
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    return UniqueKernelHandle(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, &security, PAGE_READWRITE, 0, 8, name.c_str()));
}

TEST(SingleCopy, NextStartStandsAsTheStartBeforeLeftTheName)
{
    int number = 0;
    for (const Row& row : ROWS) {
        SCOPED_TRACE(row.what);
        const std::wstring name = test_name(++number);
        UniqueWindow window = make_window();
        ASSERT_TRUE(window);
        UniqueKernelHandle squatter;
        std::optional<SingleCopy> before;
        if (row.before == Before::other_kind_of_object) {
            squatter.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
            ASSERT_TRUE(squatter);
        } else if (row.before == Before::other_account) {
            squatter = block_of_another_account(name);
            ASSERT_TRUE(squatter);
        } else {
            before.emplace(name, WAIT_MS);
            ASSERT_EQ(before->standing(), Standing::sole) << "nobody held the name";
        }
        const HWND window_handle = window.get();
        switch (row.before) {
        case Before::announced:
            before->announce(window_handle);
            break;
        case Before::announced_no_window:
            before->announce(nullptr);
            break;
        case Before::window_gone:
            before->announce(window_handle);
            window.reset();
            break;
        case Before::starting:
        case Before::other_kind_of_object:
        case Before::other_account:
            break;
        }

        const ULONGLONG started = ::GetTickCount64();
        const SingleCopy next(name, WAIT_MS);
        EXPECT_EQ(next.standing(), row.expected);
        if (row.expected == Standing::other_found) {
            EXPECT_EQ(next.other().window, window_handle);
            EXPECT_EQ(next.other().process_id, ::GetCurrentProcessId());
        }
        if (row.expected == Standing::other_starting) {
            EXPECT_GE(::GetTickCount64() - started, WAIT_MS) << "it did not wait for the window";
        }
    }
}

// The SIDs the block's access list grants access to, in order.
std::vector<std::vector<BYTE>> granted_sids(HANDLE object)
{
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<std::vector<BYTE>> sids;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return sids;
    }
    const UniqueLocalMemory owner(descriptor);
    for (DWORD index = 0; list != nullptr && index < list->AceCount; ++index) {
        void* entry = nullptr;
        if (::GetAce(list, index, &entry) && static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* sid = reinterpret_cast<BYTE*>(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart);
            sids.emplace_back(sid, sid + ::GetLengthSid(sid));
        }
    }
    return sids;
}

std::vector<BYTE> user_sid()
{
    UniqueKernelHandle token;
    alignas(TOKEN_USER) BYTE buffer[256] = {};
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !::GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) {
        return {};
    }
    auto* sid = static_cast<BYTE*>(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    return std::vector<BYTE>(sid, sid + ::GetLengthSid(sid));
}

std::vector<BYTE> system_sid()
{
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = SECURITY_MAX_SID_SIZE;
    ::CreateWellKnownSid(WinLocalSystemSid, nullptr, sid.data(), &size);
    sid.resize(size);
    return sid;
}

// Another account in the same session may neither read the record nor point later starts at a
// window of its own.
TEST(SingleCopy, OnlyTheUsersOwnAccountAndTheSystemMayOpenTheBlock)
{
    const std::wstring name = test_name(100);
    SingleCopy copy(name, WAIT_MS);
    ASSERT_EQ(copy.standing(), Standing::sole);
    UniqueKernelHandle block(::OpenFileMappingW(READ_CONTROL, FALSE, name.c_str()));
    ASSERT_TRUE(block);
    const std::vector<std::vector<BYTE>> expected{user_sid(), system_sid()};
    EXPECT_EQ(granted_sids(block.get()), expected);
    // Owned by the user's account, whatever the token's default owner: later copies accept it.
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetSecurityInfo(block.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const UniqueLocalMemory descriptor_owner(descriptor);
    auto* owner_bytes = static_cast<BYTE*>(owner);
    EXPECT_EQ(std::vector<BYTE>(owner_bytes, owner_bytes + ::GetLengthSid(owner)), user_sid());
}

}  // namespace
}  // namespace tovalen::platform
