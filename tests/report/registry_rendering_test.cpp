#include "report/registry_rendering.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovalen {
namespace {

std::vector<std::uint8_t> utf16_bytes(std::wstring_view text)
{
    std::vector<std::uint8_t> bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return bytes;
}

struct RenderRow {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::wstring text;
};

class RegistryRendering : public ::testing::TestWithParam<RenderRow> {};

TEST_P(RegistryRendering, GivesTheTextOfItsType)
{
    const RenderedRegistryValue rendered = render_registry_data(GetParam().type, GetParam().data);
    EXPECT_EQ(rendered.text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryRendering,
    ::testing::Values(
        RenderRow{"string_to_terminator", REGISTRY_SZ, utf16_bytes(std::wstring(L"abc\0def\0", 8)), L"abc"},
        RenderRow{"string_without_terminator", REGISTRY_SZ, utf16_bytes(L"abc"), L"abc"},
        RenderRow{"string_odd_byte_ignored", REGISTRY_SZ, {'a', 0, 'b'}, L"a"},
        RenderRow{"string_no_data", REGISTRY_SZ, {}, L""},
        RenderRow{"string_high_bytes", REGISTRY_SZ, {0xAC, 0x20, 0xFF, 0xFF}, L"\u20AC\uFFFF"},
        RenderRow{"binary_groups", REGISTRY_BINARY, {0x00, 0xFF, 0x10}, L"$00,$FF,$10"},
        RenderRow{"binary_empty", REGISTRY_BINARY, {}, L""},
        RenderRow{"dword_42", REGISTRY_DWORD, {42, 0, 0, 0}, L"42"},
        RenderRow{"dword_all_ones", REGISTRY_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, L"-1"},
        RenderRow{"dword_lowest", REGISTRY_DWORD, {0, 0, 0, 0x80}, L"-2147483648"},
        RenderRow{"dword_short", REGISTRY_DWORD, {42, 0, 0}, L""},
        RenderRow{"dword_none", REGISTRY_DWORD, {}, L""},
        RenderRow{"dword_extra_bytes_ignored", REGISTRY_DWORD, {1, 0, 0, 0, 9, 9}, L"1"},
        RenderRow{"qword_lowest", REGISTRY_QWORD, {0, 0, 0, 0, 0, 0, 0, 0x80}, L"-9223372036854775808"},
        RenderRow{"qword_big", REGISTRY_QWORD, {0, 0, 0, 0, 1, 0, 0, 0}, L"4294967296"},
        RenderRow{"qword_short", REGISTRY_QWORD, {1, 2, 3, 4, 5, 6, 7}, L""},
        RenderRow{"multi_usual_form", REGISTRY_MULTI_SZ, utf16_bytes(std::wstring(L"one\0two\0\0", 9)), L"one\ntwo\n"},
        RenderRow{"multi_without_final_terminator", REGISTRY_MULTI_SZ, utf16_bytes(std::wstring(L"one\0two", 7)),
                  L"one\ntwo"},
        RenderRow{"multi_odd_byte_ignored", REGISTRY_MULTI_SZ, {'a', 0, 0, 0, 'b'}, L"a"},
        RenderRow{"multi_empty", REGISTRY_MULTI_SZ, {}, L""},
        RenderRow{"none_type", 0, {1, 2}, L""},
        RenderRow{"big_endian_dword", 5, {0, 0, 0, 1}, L""},
        RenderRow{"link_type", 6, utf16_bytes(L"x"), L""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RegistryRenderingBinary, StopsAfter2096Bytes)
{
    std::vector<std::uint8_t> data(3000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i);
    }
    const std::wstring text = render_registry_data(REGISTRY_BINARY, data).text;
    EXPECT_EQ(text.size(), 8383u);
    EXPECT_EQ(text.substr(text.size() - 4), L",$2F");  // byte 2095 is 0x2F (2095 mod 256)
    EXPECT_NE(text.back(), L',');
}

TEST(RegistryRenderingExpand, LeavesTheExpansionToTheCaller)
{
    const RenderedRegistryValue rendered =
        render_registry_data(REGISTRY_EXPAND_SZ, utf16_bytes(std::wstring(L"%SystemRoot%\\x\0", 15)));
    EXPECT_EQ(rendered.text, L"%SystemRoot%\\x");
    EXPECT_TRUE(rendered.needs_expansion);
    EXPECT_FALSE(render_registry_data(REGISTRY_EXPAND_SZ, {}).needs_expansion);
    EXPECT_FALSE(render_registry_data(REGISTRY_SZ, utf16_bytes(L"%SystemRoot%")).needs_expansion);
}

struct PathRow {
    const wchar_t* given;
    const wchar_t* normalised;
};

class KeyPath : public ::testing::TestWithParam<PathRow> {};

TEST_P(KeyPath, LosesAtMostOneBackslashAtEachEnd)
{
    EXPECT_EQ(normalise_key_path(GetParam().given), GetParam().normalised);
}

INSTANTIATE_TEST_SUITE_P(Paths, KeyPath,
                         ::testing::Values(PathRow{L"A\\B", L"A\\B"}, PathRow{L"\\A\\B\\", L"A\\B"},
                                           PathRow{L"\\\\A\\B", L"\\A\\B"}, PathRow{L"A\\B\\\\", L"A\\B\\"},
                                           PathRow{L"\\", L""}, PathRow{L"", L""}));

}  // namespace
}  // namespace tovalen
