#include "comline/command_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tovalen::comline {
namespace {

using Parts = std::vector<std::vector<std::wstring>>;

// The parts and tokens of a command as plain strings, or nothing when tokenizing fails.
Parts tokenize(std::wstring_view text, std::wstring_view delimiters = COMMAND_DELIMITERS)
{
    CommandTable table;
    const std::int64_t count = tokenize_command(text, delimiters, table);
    Parts parts;
    for (std::int64_t i = 1; i <= count; ++i) {
        std::vector<std::wstring> tokens;
        for (std::wstring_view token : table.tokens(i)) {
            tokens.emplace_back(token);
        }
        parts.push_back(std::move(tokens));
    }
    return parts;
}

std::wstring repeat(std::wstring_view piece, int times, std::wstring_view separator = L"")
{
    std::wstring text;
    for (int i = 0; i < times; ++i) {
        if (i > 0) {
            text += separator;
        }
        text += piece;
    }
    return text;
}

struct TokenizeRow {
    const wchar_t* label;
    std::wstring command;
    Parts parts;  // empty: a syntax error
    std::wstring_view delimiters = COMMAND_DELIMITERS;
};

void PrintTo(const TokenizeRow& row, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(row.label));
}

class Tokenize : public ::testing::TestWithParam<TokenizeRow> {};

TEST_P(Tokenize, SplitsPartsAndTokens)
{
    EXPECT_EQ(tokenize(GetParam().command, GetParam().delimiters), GetParam().parts) << testing::PrintToString(GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, Tokenize,
    ::testing::Values(
        TokenizeRow{L"bare name", L"SerialNumber", {{L"SerialNumber"}}},
        TokenizeRow{L"quoted argument keeps its spaces and quotes",
                    L"ExecQuery('Select * from Win32_SystemEnclosure')",
                    {{L"ExecQuery", L"(", L"'Select * from Win32_SystemEnclosure'", L")"}}},
        TokenizeRow{L"arguments and commas", L"M(1, 2, 3)", {{L"M", L"(", L"1", L",", L"2", L",", L"3", L")"}}},
        TokenizeRow{L"assignment", L"UserMode = #True", {{L"UserMode", L"=", L"#True"}}},
        TokenizeRow{L"assignment without spaces", L"N(2)='x'", {{L"N", L"(", L"2", L")", L"=", L"'x'"}}},
        TokenizeRow{L"three parts", L"a\\b\\c", {{L"a"}, {L"b"}, {L"c"}}},
        TokenizeRow{L"path with arguments and assignment", L"a(1)\\b = 2",
                    {{L"a", L"(", L"1", L")"}, {L"b", L"=", L"2"}}},
        TokenizeRow{L"delimiters inside quotes are ordinary", L"M('a\\b(c),=d e')", {{L"M", L"(", L"'a\\b(c),=d e'", L")"}}},
        TokenizeRow{L"quote ends a pending token", L"M(ab'cd')", {{L"M", L"(", L"ab", L"'cd'", L")"}}},
        TokenizeRow{L"empty quotes are a token", L"M('')", {{L"M", L"(", L"''", L")"}}},
        TokenizeRow{L"type and byref words", L"M(5 as long byref)", {{L"M", L"(", L"5", L"as", L"long", L"byref", L")"}}},
        TokenizeRow{L"leading and trailing spaces", L"  M  ", {{L"M"}}},
        TokenizeRow{L"empty parentheses", L"M()", {{L"M", L"(", L")"}}},
        TokenizeRow{L"twenty parts", repeat(L"p", 20, L"\\"), Parts(20, std::vector<std::wstring>{L"p"})},
        TokenizeRow{L"= with nothing after it", L"a =", {{L"a", L"="}}},
        TokenizeRow{L"grammar is not the tokenizer's business", L"M 5", {{L"M", L"5"}}},
        TokenizeRow{L"non-ASCII characters are token characters", L"Gr\u00fc\u00dfe(\u20ac)", {{L"Gr\u00fc\u00dfe", L"(", L"\u20ac", L")"}}},
        TokenizeRow{L"a caller's own delimiters stand alone, within ASCII or beyond", L"a;b\u00a7c",
                    {{L"a", L";", L"b", L"\u00a7", L"c"}}, L"(),\\'= ;\u00a7"}));

INSTANTIATE_TEST_SUITE_P(
    Rejected, Tokenize,
    ::testing::Values(TokenizeRow{L"empty text", L"", {}}, TokenizeRow{L"spaces only", L"   ", {}},
                      TokenizeRow{L"unterminated quote", L"M('abc)", {}},
                      TokenizeRow{L"close before open", L"M)1(", {}},
                      TokenizeRow{L"nested parentheses", L"M((1))", {}},
                      TokenizeRow{L"extra close", L"M(1))", {}},
                      TokenizeRow{L"unclosed", L"M(1", {}},
                      TokenizeRow{L"two argument lists", L"M(1)(2)", {}},
                      TokenizeRow{L"two assignments", L"a = 1 = 2", {}},
                      TokenizeRow{L"leading backslash", L"\\a", {}},
                      TokenizeRow{L"trailing backslash", L"a\\", {}},
                      TokenizeRow{L"doubled backslash", L"a\\\\b", {}},
                      TokenizeRow{L"backslash inside parentheses", L"a(1\\2)", {}},
                      TokenizeRow{L"backslash after =", L"a = 1\\b", {}},
                      TokenizeRow{L"backslash right after =", L"a =\\b", {}},
                      TokenizeRow{L"twenty-one parts", repeat(L"p", 21, L"\\"), {}},
                      TokenizeRow{L"twenty-one parts too long for the inline token store", repeat(L"part", 21, L"\\"), {}},
                      TokenizeRow{L"two parentheses pairs in a non-last part", L"a(1)(2)\\b", {}}));

TEST(TokenizeLimit, PartEndsAtTwoHundredTokensAndTheRestIsIgnored)
{
    // 200 tokens, then text that would be an error if it were looked at.
    const std::wstring command = repeat(L"t", 200, L" ") + L" ) \\\\ '";
    CommandTable table;
    ASSERT_EQ(tokenize_command(command, COMMAND_DELIMITERS, table), 1);
    EXPECT_EQ(table.part(1).token_count, 200);
    EXPECT_EQ(table.tokens(1).back(), L"t");
}

TEST(TokenizeLimit, TwoHundredTokensInAnEarlierPartStopThere)
{
    const std::wstring command = L"a\\" + repeat(L"t", 201, L",");
    CommandTable table;
    ASSERT_EQ(tokenize_command(command, COMMAND_DELIMITERS, table), 2);
    EXPECT_EQ(table.part(2).token_count, 200);
}

TEST(TokenizeLimit, ManyTokensBeyondTheInlineStore)
{
    // Forty parts' worth of tokens across twenty parts: more than the table keeps without
    // allocating.
    std::wstring command;
    for (int part = 0; part < 20; ++part) {
        command += (part == 0 ? L"" : L"\\") + std::wstring(L"m") + std::to_wstring(part) + L"(1, 2, 3)";
    }
    CommandTable table;
    ASSERT_EQ(tokenize_command(command, COMMAND_DELIMITERS, table), 20);
    for (std::int64_t part = 1; part <= 20; ++part) {
        ASSERT_EQ(table.part(part).token_count, 8);
        EXPECT_EQ(table.tokens(part)[0], L"m" + std::to_wstring(part - 1));
        EXPECT_EQ(table.tokens(part)[6], L"3");
        EXPECT_EQ(table.part(part).open_count, 1);
        EXPECT_EQ(table.part(part).close_count, 1);
    }
}

TEST(TokenizeReuse, ATableFilledBeforeStartsAfresh)
{
    CommandTable table;
    ASSERT_EQ(tokenize_command(L"a(1)\\b\\c", COMMAND_DELIMITERS, table), 3);
    ASSERT_EQ(tokenize_command(L"x(", COMMAND_DELIMITERS, table), 0);
    ASSERT_EQ(tokenize_command(L"y", COMMAND_DELIMITERS, table), 1);
    EXPECT_EQ(table.part(1).token_count, 1);
    EXPECT_EQ(table.part(1).open_count, 0);
    EXPECT_EQ(table.tokens(1)[0], L"y");
    EXPECT_EQ(table.part(2).token_count, 0);
}

struct NumberRow {
    std::wstring token;
    NumberKind kind;
    std::int64_t integer;
    double real;
};

void PrintTo(const NumberRow& row, std::ostream* out)
{
    *out << testing::PrintToString(row.token);
}

class NumberToken : public ::testing::TestWithParam<NumberRow> {};

TEST_P(NumberToken, ReadsKindAndValue)
{
    const NumberLiteral literal = parse_number_token(GetParam().token);
    ASSERT_EQ(literal.kind, GetParam().kind);
    if (literal.kind == NumberKind::r8) {
        EXPECT_EQ(literal.real, GetParam().real);
        EXPECT_EQ(std::signbit(literal.real), std::signbit(GetParam().real));
    } else if (literal.kind != NumberKind::invalid) {
        EXPECT_EQ(literal.integer, GetParam().integer);
    }
}

constexpr auto I1 = NumberKind::i1;
constexpr auto I2 = NumberKind::i2;
constexpr auto I4 = NumberKind::i4;
constexpr auto I8 = NumberKind::i8;
constexpr auto R8 = NumberKind::r8;
constexpr auto BAD = NumberKind::invalid;

INSTANTIATE_TEST_SUITE_P(
    SmallestSignedKind, NumberToken,
    ::testing::Values(NumberRow{L"0", I4, 0, 0}, NumberRow{L"-0", I4, 0, 0}, NumberRow{L"+0", I4, 0, 0},
                      NumberRow{L"000", I4, 0, 0}, NumberRow{L"5", I1, 5, 0}, NumberRow{L"+5", I1, 5, 0},
                      NumberRow{L"127", I1, 127, 0}, NumberRow{L"-128", I1, -128, 0},
                      NumberRow{L"128", I2, 128, 0}, NumberRow{L"-129", I2, -129, 0},
                      NumberRow{L"300", I2, 300, 0}, NumberRow{L"32767", I2, 32767, 0},
                      NumberRow{L"-32768", I2, -32768, 0}, NumberRow{L"32768", I4, 32768, 0},
                      NumberRow{L"-32769", I4, -32769, 0}, NumberRow{L"2147483647", I4, 2147483647, 0},
                      NumberRow{L"-2147483648", I4, -2147483647 - 1, 0},
                      NumberRow{L"2147483648", I8, 2147483648, 0}, NumberRow{L"-2147483649", I8, -2147483649, 0},
                      NumberRow{L"0000000000000000000000000042", I1, 42, 0},
                      NumberRow{L"9223372036854775807", I8, INT64_MAX, 0},
                      NumberRow{L"-9223372036854775808", I8, INT64_MIN, 0}));

INSTANTIATE_TEST_SUITE_P(
    DecimalPointWhateverTheLocale, NumberToken,
    ::testing::Values(NumberRow{L"1.5", R8, 0, 1.5}, NumberRow{L"-.5", R8, 0, -0.5}, NumberRow{L".5", R8, 0, 0.5},
                      NumberRow{L"+2.25", R8, 0, 2.25}, NumberRow{L"5.", R8, 0, 5.0}, NumberRow{L"0.0", R8, 0, 0.0},
                      NumberRow{L"-0.0", R8, 0, -0.0}, NumberRow{L"0.1", R8, 0, 0.1},
                      NumberRow{L"123456789.125", R8, 0, 123456789.125},
                      NumberRow{L"0." + std::wstring(400, L'0') + L"1", R8, 0, 0.0},
                      NumberRow{L"-0." + std::wstring(400, L'0') + L"1", R8, 0, -0.0},
                      NumberRow{L"1" + std::wstring(300, L'0') + L".5", R8, 0, 1e300}));

INSTANTIATE_TEST_SUITE_P(
    Invalid, NumberToken,
    ::testing::Values(NumberRow{L"", BAD, 0, 0}, NumberRow{L"1.2.3", BAD, 0, 0}, NumberRow{L"1e5", BAD, 0, 0},
                      NumberRow{L"+-1", BAD, 0, 0}, NumberRow{L"0x10", BAD, 0, 0}, NumberRow{L"1-", BAD, 0, 0},
                      NumberRow{L"1 ", BAD, 0, 0}, NumberRow{L"1,5", BAD, 0, 0}, NumberRow{L"#5", BAD, 0, 0},
                      NumberRow{L"\u0665", BAD, 0, 0},  // an Arabic-Indic five is no ASCII digit
                      NumberRow{L"+", BAD, 0, 0}, NumberRow{L"-", BAD, 0, 0}, NumberRow{L".", BAD, 0, 0},
                      NumberRow{L"-.", BAD, 0, 0}, NumberRow{L"inf", BAD, 0, 0}, NumberRow{L"nan", BAD, 0, 0},
                      // Beyond the range of the kind: no silently different number.
                      NumberRow{L"9223372036854775808", BAD, 0, 0}, NumberRow{L"-9223372036854775809", BAD, 0, 0},
                      NumberRow{L"18446744073709551617", BAD, 0, 0},
                      NumberRow{L"99999999999999999999999999", BAD, 0, 0},
                      NumberRow{L"1" + std::wstring(400, L'0') + L".0", BAD, 0, 0},
                      NumberRow{L"-1" + std::wstring(400, L'0') + L".", BAD, 0, 0},
                      NumberRow{L"9" + std::wstring(400, L'0') + L".0", BAD, 0, 0},
                      NumberRow{L"-0" + std::wstring(400, L'2') + L".5", BAD, 0, 0}));

struct EscapeRow {
    std::wstring text;
    std::wstring decoded;
};

void PrintTo(const EscapeRow& row, std::ostream* out)
{
    *out << testing::PrintToString(row.text);
}

class Escapes : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(Escapes, DecodeInPlace)
{
    std::wstring text = GetParam().text;
    const std::size_t length = decode_escapes(text);
    ASSERT_LE(length, text.size());
    EXPECT_EQ(text.substr(0, length), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Escapes,
    ::testing::Values(EscapeRow{L"", L""}, EscapeRow{L"plain text", L"plain text"},
                      EscapeRow{L"it$0027s", L"it's"}, EscapeRow{L"$0041$0042", L"AB"},
                      EscapeRow{L"$0024", L"$"}, EscapeRow{L"$0024$0041", L"$A"},
                      EscapeRow{L"$20AC", std::wstring(1, wchar_t{0xAC})}, EscapeRow{L"$ffff", std::wstring(1, wchar_t{0xFF})},
                      EscapeRow{L"$006a$006A", L"jj"}, EscapeRow{L"a$00zz", L"a$00zz"},
                      EscapeRow{L"$$0041", L"$A"}, EscapeRow{L"$g", L"$g"}, EscapeRow{L"$123g5", L"$123g5"},
                      EscapeRow{L"ab$12", L"ab"}, EscapeRow{L"ab$", L"ab"}, EscapeRow{L"ab$123", L"ab"},
                      EscapeRow{L"$004", L""}, EscapeRow{L"x$00411", L"xA1"},
                      EscapeRow{L"$0000", std::wstring(1, L'\0')}, EscapeRow{L"\u20ac$0041", L"\u20acA"}));

}  // namespace
}  // namespace tovalen::comline
