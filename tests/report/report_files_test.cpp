// The JSON document and the report file are checked end to end, decoded by another program; here
// only the UTF-8 conversion's edges, byte by byte.
#include "report/report_files.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <utility>

namespace tovalen {
namespace {

struct Utf8Row {
    std::wstring text;
    std::string utf8;  // written out byte by byte, the reference
};

class Utf8Text : public ::testing::TestWithParam<Utf8Row> {};

TEST_P(Utf8Text, EncodesPairsAndReplacesWhatIsNoPair) { EXPECT_EQ(utf8_text(GetParam().text), GetParam().utf8); }

INSTANTIATE_TEST_SUITE_P(
    Rows, Utf8Text,
    ::testing::Values(Utf8Row{L"", ""}, Utf8Row{L"A\x7F", "A\x7F"}, Utf8Row{L"\x80\x7FF", "\xC2\x80\xDF\xBF"},
                      Utf8Row{L"\x800\xFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
                      Utf8Row{std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},
                      Utf8Row{std::wstring{wchar_t(0xDBFF), wchar_t(0xDFFF)}, "\xF4\x8F\xBF\xBF"},
                      Utf8Row{std::wstring{wchar_t(0xD800)}, "\xEF\xBF\xBD"},
                      Utf8Row{std::wstring{wchar_t(0xDC00), L'x'}, "\xEF\xBF\xBDx"},
                      Utf8Row{std::wstring{wchar_t(0xD800), wchar_t(0xD800), wchar_t(0xDC00)},
                              "\xEF\xBF\xBD\xF0\x90\x80\x80"},
                      Utf8Row{std::wstring{wchar_t(0xD7FF), wchar_t(0xE000)}, "\xED\x9F\xBF\xEE\x80\x80"},
                      // Only a wchar_t of 32 bits holds a number past the last code point.
                      sizeof(wchar_t) == 4 ? Utf8Row{std::wstring(1, static_cast<wchar_t>(0x110000)), "\xEF\xBF\xBD"}
                                           : Utf8Row{L"", ""}));

TEST(ReportFiles, TheTextFileIsTheReportAfterAByteOrderMarkAndTheJsonEndsWithTheMomentAndALineFeed)
{
    ReportValues values;
    values.model = L"M\u00e9";
    const std::string text = report_text_file(values, L"boot");
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(text.find("M\xC3\xA9"), std::string::npos);
    const std::string json = report_json_file(values, L"b\u00e9", "1.2.3", "2026-12-08T10:18:49Z");
    EXPECT_NE(json.find("\"last_boot\": \"b\xC3\xA9\""), std::string::npos) << json;
    EXPECT_TRUE(json.ends_with("  \"tovalen_version\": \"1.2.3\",\n  \"collected_at\": \"2026-12-08T10:18:49Z\"\n}\n")) << json;
}

TEST(ReportFiles, TheCollectionMomentIsWrittenFieldByFieldWithItsZeros)
{
    const std::pair<std::array<int, 6>, const char*> rows[] = {
        {{2026, 12, 8, 10, 18, 49}, "2026-12-08T10:18:49Z"}, {{1, 2, 3, 4, 5, 6}, "0001-02-03T04:05:06Z"},
        {{9999, 11, 30, 23, 59, 59}, "9999-11-30T23:59:59Z"}, {{2024, 2, 29, 0, 0, 0}, "2024-02-29T00:00:00Z"},
        {{INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN}, "-2147483648--2147483648--2147483648T-2147483648:-2147483648:-2147483648Z"}};
    for (const auto& [moment, expected] : rows) {
        const auto [year, month, day, hour, minute, second] = moment;
        EXPECT_EQ(utc_timestamp_text(year, month, day, hour, minute, second), expected);
    }
}

}  // namespace
}  // namespace tovalen
