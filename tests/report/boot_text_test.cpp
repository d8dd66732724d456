#include "report/boot_text.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

struct CutRow {
    const char* name;
    std::string output;
    std::optional<std::wstring> cut;
};

class BootLine : public ::testing::TestWithParam<CutRow> {};

TEST_P(BootLine, IsCutFromTheFirstMarkerLine)
{
    EXPECT_EQ(cut_boot_line(output_lines_text(GetParam().output)), GetParam().cut);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, BootLine,
    ::testing::Values(
        CutRow{"crlf", "Workstation Statistics\r\n\r\nStatistics since 4/12/2019 9:14:33 AM\r\n\r\nBytes 1\r\n",
               L"4/12/2019 9:14:33 AM"},
        CutRow{"lf", "Workstation Statistics\n\nStatistics since 4/12/2019 9:14:33 AM\n\nBytes 1\n", L"4/12/2019 9:14:33 AM"},
        CutRow{"several_blanks", "Statistics since        4/12/2019 9:14:33 AM\r\n", L"4/12/2019 9:14:33 AM"},
        // Only the ends of the whole rest are trimmed: blanks before the line end stay.
        CutRow{"blanks_before_line_end", "Statistics since 4/12/2019   \r\nx\r\n", L"4/12/2019   "},
        CutRow{"two_markers", "Statistics since 1/1/2020 1:00:00 AM\r\nStatistics since 2/2/2021 2:00:00 AM\r\n",
               L"1/1/2020 1:00:00 AM"},
        CutRow{"last_line_without_line_feed", "x\r\nStatistics since 3/3/2023 3:03:03 PM", L"3/3/2023 3:03:03 PM"},
        CutRow{"marker_case_matters", "statistics since 1/1/2020\r\n", std::nullopt},
        CutRow{"other_language", "Statistik seit 12.04.2019 09:14:33\r\n", std::nullopt},
        CutRow{"empty", "", std::nullopt},
        CutRow{"utf8_text", "Statistics since 4/12/2019 9:14 \xE2\x80\xAF" "AM\r\n", L"4/12/2019 9:14 \u202F" L"AM"},
        CutRow{"invalid_utf8", "Statistics since 1/1/2020 \xFF\xC3 1:00\r\n", L"1/1/2020 \uFFFD\uFFFD 1:00"},
        CutRow{"marker_at_end", "Statistics since", L""}),
    [](const auto& row) { return std::string(row.param.name); });

struct LinesRow {
    const char* name;
    std::string output;
    std::wstring text;
};

class OutputLines : public ::testing::TestWithParam<LinesRow> {};

TEST_P(OutputLines, EndEachLineWithCarriageReturnAndLineFeed)
{
    EXPECT_EQ(output_lines_text(GetParam().output), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputLines,
                         ::testing::Values(LinesRow{"empty", "", L""}, LinesRow{"one_lf", "a\n", L"a\r\n"},
                                           LinesRow{"crlf", "a\r\nb\r\n", L"a\r\nb\r\n"},
                                           LinesRow{"unfinished_last", "a\nb", L"a\r\nb\r\n"},
                                           LinesRow{"stray_carriage_returns", "a\rb\r\r\n", L"ab\r\n"},
                                           LinesRow{"empty_lines", "\n\n", L"\r\n\r\n"}),
                         [](const auto& row) { return std::string(row.param.name); });

struct Utf8Row {
    const char* name;
    std::string bytes;
    std::wstring text;
};

class Utf8 : public ::testing::TestWithParam<Utf8Row> {};

TEST_P(Utf8, DecodesOrReplacesEveryByte)
{
    EXPECT_EQ(decode_utf8(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8,
    ::testing::Values(Utf8Row{"ascii", "abc", L"abc"}, Utf8Row{"two_bytes", "\xC3\xA9", L"\u00E9"},
                      Utf8Row{"three_bytes", "\xE2\x82\xAC", L"\u20AC"},
                      Utf8Row{"four_bytes_surrogates", "\xF0\x9F\x98\x80", L"\U0001F600"},
                      Utf8Row{"overlong", "\xC0\xAF", L"\uFFFD\uFFFD"},
                      Utf8Row{"encoded_surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
                      Utf8Row{"truncated_at_end", "a\xE2\x82", L"a\uFFFD\uFFFD"},
                      Utf8Row{"lone_continuation", "\x80x", L"\uFFFDx"},
                      Utf8Row{"beyond_unicode", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Row{"nul_kept", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
                      Utf8Row{"lead_where_continuation_belongs", "\xC3\xC3\xA9", L"\uFFFD\u00E9"},
                      Utf8Row{"lead_f8_with_continuations", "\xF8\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Row{"lead_ff_with_continuations", "\xFF\x80\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Row{"highest_code_point", "\xF4\x8F\xBF\xBF", L"\U0010FFFF"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tovalen
