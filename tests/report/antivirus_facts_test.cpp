#include "report/antivirus_facts.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tovalen {
namespace {

using D = Definitions;

struct StateRow {
    std::optional<std::int64_t> state;
    bool on;
    Definitions definitions;
    bool microsofts;
};

TEST(ProductState, DecodesScannerDefinitionsAndVendor)
{
    const StateRow rows[] = {
        {397568, true, D::up_to_date, true},    // 0x061100
        {393472, false, D::up_to_date, true},   // 0x060100
        {266240, true, D::up_to_date, false},   // 0x041000
        {266256, true, D::out_of_date, false},  // 0x041010
        {262144, false, D::up_to_date, false},  // 0x040000
        {0x042000, false, D::up_to_date, false},  // snoozed
        {0x043000, false, D::up_to_date, false},  // expired
        {0x041200, true, D::up_to_date, false},
        {0x041008, true, D::up_to_date, false},
        {0x041020, true, D::unknown, false},
        {0x0000F0, false, D::unknown, false},
        {0, false, D::up_to_date, false},
        {0xFFFFFFFF, false, D::unknown, false},
        {0x100001000, false, D::unknown, false},  // beyond 32 bits
        {-1, false, D::unknown, false},
        {std::nullopt, false, D::unknown, false},
    };
    for (const StateRow& row : rows) {
        SCOPED_TRACE(row.state ? *row.state : -999);
        const ProductState state = decode_product_state(row.state);
        EXPECT_EQ(std::tie(state.on, state.definitions, state.microsofts), std::tie(row.on, row.definitions, row.microsofts));
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

struct LinesRow {
    std::optional<SecurityCenterProduct> chosen;
    std::optional<DefenderStatus> defender;
    AntivirusLines lines;
};

TEST(AntivirusLinesOf, SecurityCenterThenDefenderThenNothing)
{
    const DefenderStatus running{L"4.18.1", true, L"3/15/2024"};
    const LinesRow rows[] = {
        {SecurityCenterProduct{L"Windows Defender", 397568}, running, {L"Yes", L"Windows Defender 4.18.1", L"3/15/2024"}},
        {SecurityCenterProduct{L"Windows Defender", 397568}, DefenderStatus{L"", true, L""}, {L"Yes", L"Windows Defender", L"up to date"}},
        {SecurityCenterProduct{L"Other AV", 266256}, running, {L"Yes", L"Other AV", L"out of date"}},
        {SecurityCenterProduct{L"Other AV", 262144}, std::nullopt, {L"No", L"Other AV", L"up to date"}},
        {SecurityCenterProduct{L"Broken", std::nullopt}, running, {L"No", L"Broken", L""}},
        {std::nullopt, running, {L"Yes", L"Microsoft Defender Antivirus 4.18.1", L"3/15/2024"}},
        {std::nullopt, DefenderStatus{L"4.18.1", false, L""}, {L"No", L"Microsoft Defender Antivirus 4.18.1", L""}},
        {std::nullopt, std::nullopt, {L"No", L"", L""}},
    };
    for (const LinesRow& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.lines.build));
        const AntivirusLines lines = antivirus_lines(row.chosen ? &*row.chosen : nullptr, row.defender ? &*row.defender : nullptr);
        EXPECT_EQ(std::tie(lines.running, lines.build, lines.definitions_date),
                  std::tie(row.lines.running, row.lines.build, row.lines.definitions_date));
    }
}

struct DatetimeRow {
    const wchar_t* text;
    std::optional<std::tuple<int, int, int>> date;
};

TEST(CimDatetime, DateOfWellFormedTextsOnly)
{
    const DatetimeRow rows[] = {
        {L"20240315083000.000000+060", std::tuple{2024, 3, 15}},
        {L"16010101000000.000000+000", std::tuple{1601, 1, 1}},
        {L"99991231235959.999999-720", std::tuple{9999, 12, 31}},
        {L"20240229000000.000000+000", std::tuple{2024, 2, 29}},
        {L"20230229000000.000000+000", std::nullopt},
        {L"21000229000000.000000+000", std::nullopt},
        {L"20000229000000.000000+000", std::tuple{2000, 2, 29}},
        {L"16001231235959.000000+000", std::nullopt},
        {L"20241301000000.000000+000", std::nullopt},
        {L"20240001000000.000000+000", std::nullopt},
        {L"20240400000000.000000+000", std::nullopt},
        {L"20240431000000.000000+000", std::nullopt},
        {L"20240315240000.000000+000", std::nullopt},
        {L"20240315236000.000000+000", std::nullopt},
        {L"20240315235960.000000+000", std::nullopt},
        {L"20240315083000.000000*060", std::nullopt},
        {L"2024031508300.0000000+060", std::nullopt},
        {L"20240315083000.000000+06", std::nullopt},
        {L"20240315083000.000000+0600", std::nullopt},
        {L"2024**15083000.000000+060", std::nullopt},
        {L"20240315083000.00000a+060", std::nullopt},
        {L"", std::nullopt},
    };
    for (const DatetimeRow& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.text)));
        const std::optional<CivilDate> date = parse_cim_datetime(row.text);
        ASSERT_EQ(date.has_value(), row.date.has_value());
        if (date) {
            EXPECT_EQ(std::tuple(date->year, date->month, date->day), *row.date);
        }
    }
}

}  // namespace
}  // namespace tovalen
