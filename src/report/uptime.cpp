#include "report/uptime.h"

#include <cmath>

namespace tovalen {

namespace {

void append_part(std::wstring& text, std::int64_t amount, const wchar_t* suffix)
{
    if (amount > 0) {
        text += std::to_wstring(amount);
        text += suffix;
    }
}

}  // namespace

std::wstring format_uptime(std::int64_t s)
{
    const std::int64_t days = s / 86400;
    const std::int64_t hours = s / 3600 - 24 * days;
    const std::int64_t minutes = s / 60 - 1440 * days - 60 * hours;
    const std::int64_t seconds = s - 86400 * days - 3600 * hours - 60 * minutes;
    std::wstring text;
    append_part(text, days, L"-Days ");
    append_part(text, hours, L"-Hours ");
    append_part(text, minutes, L"-Minutes ");
    append_part(text, seconds, L"-Seconds");
    return text;
}

std::int64_t read_interrupt_time_record(const volatile InterruptTimeRecord& record)
{
    for (;;) {
        const std::int32_t high1 = record.high1;
        const std::uint32_t low = record.low;
        const std::int32_t high2 = record.high2;
        if (high1 == high2) {
            return interrupt_time_value(high1, low);
        }
    }
}

std::int64_t interrupt_time_value(std::int32_t high, std::uint32_t low)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(high)) << 32 | low);
}

std::int64_t whole_seconds(std::int64_t hundred_nanoseconds)
{
    return static_cast<std::int64_t>(std::trunc(static_cast<double>(hundred_nanoseconds) / 10000000.0));
}

}  // namespace tovalen
