// Uptime arithmetic and text. Free of Windows headers.
#pragma once

#include <cstdint>
#include <string>

namespace tovalen {

// 90061 gives "1-Days 1-Hours 1-Minutes 1-Seconds"; parts that are 0 leave no trace, and 0
// seconds give empty text.
std::wstring format_uptime(std::int64_t seconds);

// The shared interrupt-time record as the system keeps it: the low part and two copies of the
// high part, which differ while the system is updating the record.
struct InterruptTimeRecord {
    std::uint32_t low;
    std::int32_t high1;
    std::int32_t high2;
};

// The 64-bit count of a record whose two high copies agree: high × 2^32 + low, the low part
// taken as unsigned.
std::int64_t interrupt_time_value(std::int32_t high, std::uint32_t low);

// Reads a record that the system updates concurrently: high1, then low, then high2, and again
// while the two high copies differ, so that a torn read is never returned.
std::int64_t read_interrupt_time_record(const volatile InterruptTimeRecord& record);

// Whole seconds of a count of 100-nanosecond units, cut toward zero.
std::int64_t whole_seconds(std::int64_t hundred_nanoseconds);

}  // namespace tovalen
