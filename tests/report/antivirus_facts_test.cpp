#include "report/antivirus_facts.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tovalen {
namespace {

using D = Definitions;

TEST(ProductState, DecodesScannerDefinitionsAndVendor)
{
    const std::tuple<std::optional<std::int64_t>, bool, Definitions, bool> rows[] = {
        {397568, true, D::up_to_date, true}, {393472, false, D::up_to_date, true}, {266240, true, D::up_to_date, false},
        {266256, true, D::out_of_date, false}, {262144, false, D::up_to_date, false},
        {0x042000, false, D::up_to_date, false} /* snoozed */, {0x043000, false, D::up_to_date, false} /* expired */,
        {0x041200, true, D::up_to_date, false}, {0x041008, true, D::up_to_date, false}, {0x041020, true, D::unknown, false},
        {0, false, D::up_to_date, false}, {0xFFFFFFFF, false, D::unknown, false}, {0x100001000, false, D::unknown, false},
        {-1, false, D::unknown, false}, {std::nullopt, false, D::unknown, false}};
    for (const auto& [value, on, definitions, microsofts] : rows) {
        SCOPED_TRACE(value.value_or(-999));
        const ProductState state = decode_product_state(value);
        EXPECT_EQ(std::tie(state.on, state.definitions, state.microsofts), std::tie(on, definitions, microsofts));
    }
}

TEST(ProductChoice, FirstOnElseFirstListed)
{
    const std::vector<SecurityCenterProduct> off_then_on = {{L"A", 393472}, {L"B", 266240}, {L"C", 266256}};
    EXPECT_EQ(choose_product(off_then_on), &off_then_on[1]);
    const std::vector<SecurityCenterProduct> none_on = {{L"A", std::nullopt}, {L"B", 262144}};
    EXPECT_EQ(choose_product(none_on), &none_on[0]);
    EXPECT_EQ(choose_product({}), nullptr);
}

TEST(AntivirusLinesOf, SecurityCenterThenDefenderThenNothing)
{
    using Product = std::optional<SecurityCenterProduct>;
    using Defender = std::optional<DefenderStatus>;
    const DefenderStatus running{L"4.18.1", true, L"3/15/2024"};
    const std::tuple<Product, Defender, std::tuple<std::wstring, std::wstring, std::wstring>> rows[] = {
        {Product{{L"MS", 397568}}, running, {L"Yes", L"MS 4.18.1", L"3/15/2024"}},
        {Product{{L"MS", 397568}}, Defender{{L"", true, L""}}, {L"Yes", L"MS", L"up to date"}},
        {Product{{L"AV", 266256}}, running, {L"Yes", L"AV", L"out of date"}},
        {Product{{L"AV", 262144}}, std::nullopt, {L"No", L"AV", L"up to date"}},
        {Product{{L"AV", std::nullopt}}, running, {L"No", L"AV", L""}},
        {std::nullopt, running, {L"Yes", L"Microsoft Defender Antivirus 4.18.1", L"3/15/2024"}},
        {std::nullopt, Defender{{L"4.18.1", false, L""}}, {L"No", L"Microsoft Defender Antivirus 4.18.1", L""}},
        {std::nullopt, std::nullopt, {L"No", L"", L""}}};
    for (const auto& [product, defender, expected] : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::get<1>(expected)));
        const AntivirusLines lines = antivirus_lines(product ? &*product : nullptr, defender ? &*defender : nullptr);
        EXPECT_EQ(std::tie(lines.running, lines.build, lines.definitions_date), expected);
    }
}

TEST(CimDatetime, DateOfWellFormedTextsOnly)
{
    const std::pair<const wchar_t*, std::optional<std::tuple<int, int, int>>> rows[] = {
        {L"20240315083000.000000+060", std::tuple{2024, 3, 15}}, {L"16010101000000.000000+000", std::tuple{1601, 1, 1}},
        {L"99991231235959.999999-720", std::tuple{9999, 12, 31}}, {L"20240229000000.000000+000", std::tuple{2024, 2, 29}},
        {L"20000229000000.000000+000", std::tuple{2000, 2, 29}}, {L"20230229000000.000000+000", std::nullopt},
        {L"21000229000000.000000+000", std::nullopt}, {L"16001231235959.000000+000", std::nullopt},
        {L"20241301000000.000000+000", std::nullopt}, {L"20240001000000.000000+000", std::nullopt},
        {L"20240400000000.000000+000", std::nullopt}, {L"20240431000000.000000+000", std::nullopt},
        {L"20240315240000.000000+000", std::nullopt}, {L"20240315236000.000000+000", std::nullopt},
        {L"20240315235960.000000+000", std::nullopt}, {L"20240315083000.000000*060", std::nullopt},
        {L"2024031508300.0000000+060", std::nullopt}, {L"20240315083000.000000+06", std::nullopt},
        {L"20240315083000.000000+0600", std::nullopt}, {L"2024**15083000.000000+060", std::nullopt},
        {L"20240315083000.00000a+060", std::nullopt}, {L"20240315083000.000000+06a", std::nullopt},
        {L"", std::nullopt}};
    for (const auto& [text, expected] : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(text)));
        const std::optional<CivilDate> date = parse_cim_datetime(text);
        EXPECT_EQ(date ? std::optional(std::tuple(date->year, date->month, date->day)) : std::nullopt, expected);
    }
}

}  // namespace
}  // namespace tovalen
