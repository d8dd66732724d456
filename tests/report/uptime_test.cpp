#include "report/uptime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tovalen {
namespace {

struct UptimeRow {
    std::int64_t seconds;
    const wchar_t* text;
};

class Uptime : public ::testing::TestWithParam<UptimeRow> {};

TEST_P(Uptime, NamesEachNonZeroPart)
{
    EXPECT_EQ(format_uptime(GetParam().seconds), GetParam().text) << GetParam().seconds << " seconds";
}

INSTANTIATE_TEST_SUITE_P(
    Seconds, Uptime,
    ::testing::Values(UptimeRow{0, L""}, UptimeRow{1, L"1-Seconds"}, UptimeRow{59, L"59-Seconds"},
                      UptimeRow{60, L"1-Minutes "}, UptimeRow{61, L"1-Minutes 1-Seconds"}, UptimeRow{3600, L"1-Hours "},
                      UptimeRow{86400, L"1-Days "}, UptimeRow{90061, L"1-Days 1-Hours 1-Minutes 1-Seconds"},
                      UptimeRow{86399, L"23-Hours 59-Minutes 59-Seconds"}, UptimeRow{86401, L"1-Days 1-Seconds"},
                      UptimeRow{22118400, L"256-Days "},
                      UptimeRow{22118399, L"255-Days 23-Hours 59-Minutes 59-Seconds"}));

struct InterruptRow {
    std::int32_t high;
    std::uint32_t low;
    std::int64_t value;
};

class InterruptTime : public ::testing::TestWithParam<InterruptRow> {};

TEST_P(InterruptTime, JoinsHighAndUnsignedLowParts)
{
    EXPECT_EQ(interrupt_time_value(GetParam().high, GetParam().low), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Records, InterruptTime,
                         ::testing::Values(InterruptRow{0, 0, 0}, InterruptRow{0, 1, 1},
                                           InterruptRow{1, 0x80000000u, 6442450944},
                                           InterruptRow{0, 0xFFFFFFFFu, 4294967295},
                                           InterruptRow{2, 0xFFFFFFFFu, 12884901887},
                                           InterruptRow{0x7FFFFFFF, 0xFFFFFFFFu, 0x7FFFFFFFFFFFFFFF}));

// The system writes high2, then low, then high1. Every value written here has equal high and
// low halves, so a read that mixed two updates would show at once.
TEST(InterruptTimeRecordRead, NeverReturnsATornValue)
{
    volatile InterruptTimeRecord record{0, 0, 0};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (std::int32_t k = 1; !stop.load(std::memory_order_relaxed); k = (k % 0x7FFFFFFF) + 1) {
            record.high2 = k;
            record.low = static_cast<std::uint32_t>(k);
            record.high1 = k;
        }
    });
    int torn = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        const auto value = static_cast<std::uint64_t>(read_interrupt_time_record(record));
        torn += (value >> 32) != (value & 0xFFFFFFFFu) ? 1 : 0;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

TEST(InterruptTimeRecordRead, JoinsASteadyRecord)
{
    const volatile InterruptTimeRecord record{0x80000000u, 1, 1};
    EXPECT_EQ(read_interrupt_time_record(record), 6442450944);
}

struct WholeSecondsRow {
    std::int64_t units;
    std::int64_t seconds;
};

class WholeSeconds : public ::testing::TestWithParam<WholeSecondsRow> {};

TEST_P(WholeSeconds, CutsTowardZero)
{
    EXPECT_EQ(whole_seconds(GetParam().units), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(Units, WholeSeconds,
                         ::testing::Values(WholeSecondsRow{0, 0}, WholeSecondsRow{9999999, 0},
                                           WholeSecondsRow{10000000, 1}, WholeSecondsRow{19999999, 1},
                                           WholeSecondsRow{864000000000, 86400}));

}  // namespace
}  // namespace tovalen
