#include "platform/single_copy.h"

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

std::wstring user_sid_text()
{
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) {
        return {};
    }
    std::vector<std::byte> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return {};
    }
    const UniqueLocalMemory owner(text);
    return text;
}

// Only the user's own account and the system may open the block: another account in the same
// session (runas) could otherwise read it, or write a record that points later starts elsewhere.
// Null (the default security) when the user's account cannot be told.
UniqueLocalMemory owner_only_security(const std::wstring& user_sid)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user_sid.empty()) {
        return UniqueLocalMemory();
    }
    const std::wstring sddl = L"D:P(A;;GA;;;" + user_sid + L")(A;;GA;;;SY)";
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return UniqueLocalMemory();
    }
    return UniqueLocalMemory(descriptor);
}

}  // namespace

std::wstring single_copy_name()
{
    std::wstring name = L"Local\\Tovalen.OneCopy";
    const std::wstring sid = user_sid_text();
    if (!sid.empty()) {
        name += L"." + sid;
    }
    return name;
}

SingleCopy::SingleCopy(const std::wstring& name, DWORD wait_ms) : wait_ms_(wait_ms)
{
    const UniqueLocalMemory descriptor = owner_only_security(user_sid_text());
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor.get(), FALSE};
    block_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, descriptor ? &security : nullptr, PAGE_READWRITE, 0,
                                      sizeof(Record), name.c_str()));
    if (!block_) {
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
