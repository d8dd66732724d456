// The JSON document and the report file are checked end to end, decoded by another program; here
// only the UTF-8 conversion's edges, byte by byte.
#include "report/report_files.h"

#include <gtest/gtest.h>

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
                      Utf8Row{std::wstring{wchar_t(0xD7FF), wchar_t(0xE000)}, "\xED\x9F\xBF\xEE\x80\x80"}));

}  // namespace
}  // namespace tovalen
