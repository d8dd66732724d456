#pragma once
// The per-thread record of the automation layer's last outcome, worded for someone who drives
// COM objects through late binding.
#include <cstdint>
#include <string_view>

namespace tovalen::comline {

struct ComLineObject;

// The limit on arguments of one member; the out-of-memory sentence names it.
inline constexpr std::int64_t MAX_METHOD_ARGUMENTS = 20;

// Codes travel as the 32-bit HRESULT zero-extended to 64 bits; -1 means "already reported".
inline constexpr std::int64_t ALREADY_REPORTED = -1;

void record_error(const ComLineObject* object, std::int64_t code, bool from_exception,
                  std::wstring_view detail);
std::int64_t last_error_code();
void free_error_records();

}  // namespace tovalen::comline
