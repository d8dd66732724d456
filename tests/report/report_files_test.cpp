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

ReportValues hostile_values()
{
    ReportValues v;
    v.model = std::wstring(L"Q\" B\\ C\x01 S") + wchar_t(0xD800) + L" \x00E9";
    v.os_build = L"19045.3570";
    v.logon_server = L"\\\\DC01";
    v.av_running = L"No";
    return v;
}

TEST(ReportFiles, JsonHoldsEveryValueInTheReportsOrderEscapedAsJsonWants)
{
    const std::string expected =
        "{\n"
        "  \"model\": \"Q\\\" B\\\\ C\\u0001 S\xEF\xBF\xBD \xC3\xA9\",\n"
        "  \"serial_number\": \"\",\n  \"bios_version\": \"\",\n  \"disk_free\": \"\",\n"
        "  \"computer_name\": \"\",\n  \"domain\": \"\",\n  \"os_name\": \"\",\n  \"os_version\": \"\",\n"
        "  \"os_build\": \"19045.3570\",\n  \"last_boot\": \"12/8/2026 9:00:00 AM\",\n  \"uptime\": \"\",\n"
        "  \"ip_address\": \"\",\n  \"mac_address\": \"\",\n  \"user_name\": \"\",\n"
        "  \"logon_server\": \"\\\\\\\\DC01\",\n  \"ie_version\": \"\",\n  \"av_running\": \"No\",\n"
        "  \"av_build\": \"\",\n  \"av_defs_date\": \"\",\n"
        "  \"tovalen_version\": \"1.2.3\",\n  \"collected_at\": \"2026-12-08T10:18:49Z\"\n"
        "}\n";
    EXPECT_EQ(report_json_file(hostile_values(), L"12/8/2026 9:00:00 AM", "1.2.3", "2026-12-08T10:18:49Z"), expected);
}

TEST(ReportFiles, TextIsTheLayoutInUtf8AfterAByteOrderMark)
{
    const std::string text = report_text_file(hostile_values(), L"boot");
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF----Hardware----\r\nModel: Q\" B\\ C\x01 S\xEF\xBF\xBD \xC3\xA9\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\nLast System Boot: boot\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\nAntivirus Definition Date: "));
}

TEST(ReportFiles, TimestampIsIso8601InUtc)
{
    EXPECT_EQ(utc_timestamp_text(2026, 1, 2, 3, 4, 5), "2026-01-02T03:04:05Z");
    EXPECT_EQ(utc_timestamp_text(30827, 12, 31, 23, 59, 59), "30827-12-31T23:59:59Z");
}

}  // namespace
}  // namespace tovalen
