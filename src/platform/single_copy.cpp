#include "platform/single_copy.h"

#include "platform/process_account.h"

#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovalen::platform {

namespace {

// The block holds one 64-bit record, changed only as a whole and atomically: the holder's process
// id in the high half and its window in the low half (window handles are 32-bit values on the
// platform, sign-extended when widened). 0 means that nobody holds the name.
using Record = std::uint64_t;

constexpr DWORD POLL_INTERVAL_MS = 20;

Record pack(const RunningCopy& copy)
{
    const auto window = static_cast<std::uint32_t>(::HandleToLong(copy.window));
    return (Record{copy.process_id} << 32) | window;
}

RunningCopy unpack(Record record)
{
    const auto window = static_cast<LONG>(static_cast<std::uint32_t>(record));
    return RunningCopy{static_cast<DWORD>(record >> 32), static_cast<HWND>(::LongToHandle(window))};
}

bool window_belongs_to(HWND window, DWORD process_id)
{
    DWORD owner = 0;
    return ::GetWindowThreadProcessId(window, &owner) != 0 && owner == process_id;
}

bool process_runs(DWORD process_id)
{
    UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
    if (!process) {
        // A process that runs under a token this one may not open still runs; an ended one has
        // no id left to open.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// A holder that has ended: its window is gone (or belongs to another process now, window handles
// being reused), or, before it had announced one, its process is gone.
bool has_ended(const RunningCopy& holder)
{
    if (holder.window != nullptr) {
        return !window_belongs_to(holder.window, holder.process_id);
    }
    return !process_runs(holder.process_id);
}

// Only the user's own account and the system may open the block: another account in the same
// session (runas) could otherwise read it, or write a record that points later starts elsewhere.
// The user's account owns it, also when the program runs elevated (whose default owner is the
// Administrators group), so that every copy of the user knows it for the user's own. Null (the
// default security) when the user's account cannot be told.
UniqueLocalMemory owner_only_security(const std::wstring& user_sid)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user_sid.empty()) {
        return UniqueLocalMemory();
    }
    const std::wstring sddl = L"O:" + user_sid + L"D:P(A;;GA;;;" + user_sid + L")(A;;GA;;;SY)";
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return UniqueLocalMemory();
    }
    return UniqueLocalMemory(descriptor);
}

// Whether an object that was there before this copy came belongs to the user's own account or to
// the system. Another account in the session may make the name first, granting this user every
// right, and so hold a record that keeps the user's own copy from ever starting.
bool made_by_the_user_or_the_system(HANDLE object, const std::vector<std::byte>& user_sid)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueLocalMemory descriptor_owner(descriptor);
    if (owner == nullptr || !::IsValidSid(owner)) {
        return false;
    }
    if (::IsWellKnownSid(owner, WinLocalSystemSid)) {
        return true;
    }
    return !user_sid.empty() && ::EqualSid(owner, const_cast<std::byte*>(user_sid.data()));
}

}  // namespace

std::wstring single_copy_name()
{
    std::wstring name = L"Local\\Tovalen.OneCopy";
    const std::wstring sid = sid_text(process_user_sid());
    if (!sid.empty()) {
        name += L"." + sid;
    }
    return name;
}

SingleCopy::SingleCopy(const std::wstring& name, DWORD wait_ms) : wait_ms_(wait_ms)
{
    const std::vector<std::byte> user_sid = process_user_sid();
    const UniqueLocalMemory descriptor = owner_only_security(sid_text(user_sid));
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor.get(), FALSE};
    block_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, descriptor ? &security : nullptr, PAGE_READWRITE, 0,
                                      sizeof(Record), name.c_str()));
    const bool found_existing = ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (!block_) {
        return;
    }
    if (found_existing && !made_by_the_user_or_the_system(block_.get(), user_sid)) {
        block_.reset();
        return;
    }
    view_.reset(::MapViewOfFile(block_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Record)));
    if (!view_) {
        block_.reset();
        return;
    }
    settle();
}

void SingleCopy::look_again()
{
    if (view_) {
        settle();
    }
}

void SingleCopy::announce(HWND window)
{
    if (standing_ != Standing::sole) {
        return;
    }
    const DWORD self = ::GetCurrentProcessId();
    std::atomic_ref<Record> record(*static_cast<Record*>(view_.get()));
    Record claimed = pack(RunningCopy{self, nullptr});
    // Without a window this copy cannot be signalled: the name goes to the next start instead of
    // keeping it waiting for a window that never comes.
    const Record announced = window != nullptr ? pack(RunningCopy{self, window}) : Record{0};
    record.compare_exchange_strong(claimed, announced);
}

void SingleCopy::settle()
{
    const DWORD self = ::GetCurrentProcessId();
    const ULONGLONG deadline = ::GetTickCount64() + wait_ms_;
    std::atomic_ref<Record> record(*static_cast<Record*>(view_.get()));
    for (;;) {
        Record seen = record.load();
        const RunningCopy holder = unpack(seen);
        if (seen == 0 || has_ended(holder)) {
            // Two starts may race for a free name: the exchange lets exactly one of them have it,
            // and the other looks again and finds the winner.
            if (record.compare_exchange_strong(seen, pack(RunningCopy{self, nullptr}))) {
                standing_ = Standing::sole;
                other_ = {};
                return;
            }
            continue;
        }
        other_ = holder;
        if (holder.window != nullptr) {
            standing_ = Standing::other_found;
            return;
        }
        if (::GetTickCount64() >= deadline) {
            standing_ = Standing::other_starting;
            return;
        }
        ::Sleep(POLL_INTERVAL_MS);
    }
}

}  // namespace tovalen::platform
