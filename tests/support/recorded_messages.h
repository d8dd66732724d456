// Message boxes recorded instead of shown: a modal box would hold a test up until someone
// closes it, so tests that expect one put this recorder in the system-call table.
#pragma once

#include "platform/system_calls.h"

#include <string>
#include <vector>

namespace tovalen::testing {

struct ShownMessage {
    std::wstring text;
    std::wstring title;
    UINT flags = 0;
};

inline std::vector<ShownMessage>& shown_messages()
{
    static std::vector<ShownMessage> messages;
    return messages;
}

inline int WINAPI record_message(HWND, LPCWSTR text, LPCWSTR title, UINT flags)
{
    shown_messages().push_back({text, title, flags});
    return IDOK;
}

// Records the message boxes shown while it lives, starting from none; puts every system call
// back as the system has it afterwards.
class RecordedMessages {
public:
    RecordedMessages()
    {
        shown_messages().clear();
        platform::system_calls().message_box = record_message;
    }
    ~RecordedMessages() { platform::system_calls() = platform::real_system_calls(); }
    RecordedMessages(const RecordedMessages&) = delete;
    RecordedMessages& operator=(const RecordedMessages&) = delete;

    const std::vector<ShownMessage>& messages() const { return shown_messages(); }
};

}  // namespace tovalen::testing
