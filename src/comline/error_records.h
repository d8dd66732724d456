#pragma once
// The per-thread record of the automation layer's last outcome, worded for someone who drives
// COM objects through late binding.
#include <cstdint>
#include <string>
#include <string_view>

namespace tovalen::comline {

struct ComLineObject;

// The limit on arguments of one member; the out-of-memory sentence names it.
inline constexpr std::int64_t MAX_METHOD_ARGUMENTS = 20;

// Codes travel as the 32-bit HRESULT zero-extended to 64 bits; -1 means "already reported".
inline constexpr std::int64_t ALREADY_REPORTED = -1;

// Where the "Unknown error" sentence sends its readers.
inline constexpr std::wstring_view SUPPORT_CONTACT = L"comline-support@example.com";

void record_error(const ComLineObject* object, std::int64_t code, bool from_exception,
                  std::wstring_view detail);
std::int64_t last_error_code();
void free_error_records();

// The text of the calling thread's record; empty when the thread has none. The program itself
// never reads it back; hosts and tests do.
std::wstring last_error_text();

// Whether the per-thread slot currently exists (it is given back with the last object), and how
// many threads' records the registry holds.
bool error_records_allocated();
std::int64_t error_record_count();

// The calling thread's outcome as it stood when this was made, put back when it goes: around
// work whose own outcomes nobody is to see, such as a query of an optional source, so that a host
// that reads the record afterwards finds what the work before it left there.
class PreservedOutcome {
public:
    PreservedOutcome();
    ~PreservedOutcome();
    PreservedOutcome(const PreservedOutcome&) = delete;
    PreservedOutcome& operator=(const PreservedOutcome&) = delete;

private:
    bool slot_existed_ = false;
    bool held_ = false;
    std::int64_t code_ = 0;
    std::wstring text_;
};

}  // namespace tovalen::comline
