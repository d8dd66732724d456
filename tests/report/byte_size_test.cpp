#include "report/byte_size.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tovalen {
namespace {

struct ByteSizeRow {
    std::int64_t count;
    const wchar_t* text;
};

class ByteSize : public ::testing::TestWithParam<ByteSizeRow> {};

TEST_P(ByteSize, FormatsWithTheRightUnitAndCutDecimals)
{
    EXPECT_EQ(format_byte_size(GetParam().count), GetParam().text) << "count " << GetParam().count;
}

constexpr std::int64_t KIB = 1024;
constexpr std::int64_t PIB = KIB * KIB * KIB * KIB * KIB;
constexpr std::int64_t EIB = PIB * KIB;

INSTANTIATE_TEST_SUITE_P(
    Counts, ByteSize,
    ::testing::Values(ByteSizeRow{0, L"0 bytes"}, ByteSizeRow{1, L"1 bytes"}, ByteSizeRow{1023, L"1023 bytes"},
                      ByteSizeRow{1024, L"1.00 KB"}, ByteSizeRow{1536, L"1.50 KB"},
                      ByteSizeRow{1048575, L"1023 KB"}, ByteSizeRow{123456789, L"117 MB"},
                      ByteSizeRow{1234567890, L"1.14 GB"},  // cut, not rounded to 1.15
                      ByteSizeRow{17179869184, L"16.00 GB"}, ByteSizeRow{8589934592, L"8.00 GB"},
                      ByteSizeRow{107374182400, L"100 GB"}, ByteSizeRow{500107862016, L"465 GB"},
                      ByteSizeRow{10 * KIB - 1, L"9.99 KB"},   // 9.999..., cut
                      ByteSizeRow{100 * KIB - 1, L"99.99 KB"},  // two integer digits keep decimals
                      ByteSizeRow{100 * KIB, L"100 KB"}, ByteSizeRow{PIB, L"1.00 PB"},
                      ByteSizeRow{EIB, L"1.00 "},  // beyond the unit list: no unit, trailing blank
                      // the count becomes 2^63 in floating point, exactly 8 units of 1024^6
                      ByteSizeRow{std::numeric_limits<std::int64_t>::max(), L"8.00 "},
                      ByteSizeRow{-5, L"-5 bytes"}, ByteSizeRow{-4096, L"-4096 bytes"},
                      ByteSizeRow{std::numeric_limits<std::int64_t>::min(), L"-9223372036854775808 bytes"}));

}  // namespace
}  // namespace tovalen

namespace tovalen {
namespace {

struct NumberRow {
    const wchar_t* text;
    std::int64_t value;
};

class LeadingNumber : public ::testing::TestWithParam<NumberRow> {};

TEST_P(LeadingNumber, SkipsBlanksAndStopsAtTheFirstOtherCharacter)
{
    EXPECT_EQ(leading_decimal_number(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingNumber,
                         ::testing::Values(NumberRow{L"", 0}, NumberRow{L"17179869184", 17179869184},
                                           NumberRow{L"   8589934592", 8589934592}, NumberRow{L"12ab34", 12},
                                           NumberRow{L"abc", 0}, NumberRow{L"-5", 0}, NumberRow{L"\t5", 0},
                                           NumberRow{L"18446744073709551615", -1}));

}  // namespace
}  // namespace tovalen
