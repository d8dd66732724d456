#include "report/antivirus_facts.h"

namespace tovalen {

namespace {

constexpr std::int64_t LARGEST_STATE = 0xFFFFFFFF;
constexpr std::uint32_t SCANNER_BITS = 0xF000;
constexpr std::uint32_t SCANNER_ON = 0x1000;
constexpr std::uint32_t DEFINITIONS_BITS = 0x00F0;
constexpr std::uint32_t DEFINITIONS_UP_TO_DATE = 0x0000;
constexpr std::uint32_t DEFINITIONS_OUT_OF_DATE = 0x0010;
constexpr std::uint32_t VENDOR_BITS = 0x0F00;
constexpr std::uint32_t VENDOR_MICROSOFT = 0x0100;

Definitions definitions_of(std::uint32_t state)
{
    switch (state & DEFINITIONS_BITS) {
    case DEFINITIONS_UP_TO_DATE:
        return Definitions::up_to_date;
    case DEFINITIONS_OUT_OF_DATE:
        return Definitions::out_of_date;
    default:
        return Definitions::unknown;
    }
}

std::wstring definitions_text(Definitions definitions)
{
    switch (definitions) {
    case Definitions::up_to_date:
        return L"up to date";
    case Definitions::out_of_date:
        return L"out of date";
    default:
        return {};
    }
}

std::wstring yes_or_no(bool yes) { return yes ? L"Yes" : L"No"; }

std::wstring name_and_version(std::wstring_view name, std::wstring_view version)
{
    std::wstring text(name);
    if (!version.empty()) {
        text += L' ';
        text += version;
    }
    return text;
}

// Digits only, all of them; none otherwise.
std::optional<int> decimal_field(std::wstring_view text)
{
    int value = 0;
    for (const wchar_t digit : text) {
        if (digit < L'0' || digit > L'9') {
            return std::nullopt;
        }
        value = value * 10 + (digit - L'0');
    }
    return value;
}

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month)
{
    constexpr int DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : DAYS[month - 1];
}

bool within(std::optional<int> value, int lowest, int highest)
{
    return value && *value >= lowest && *value <= highest;
}

// The first year the system's calendar functions take.
constexpr int FIRST_YEAR = 1601;

}  // namespace

ProductState decode_product_state(std::optional<std::int64_t> state)
{
    if (!state || *state < 0 || *state > LARGEST_STATE) {
        return {};
    }
    const auto bits = static_cast<std::uint32_t>(*state);
    return {(bits & SCANNER_BITS) == SCANNER_ON, definitions_of(bits), (bits & VENDOR_BITS) == VENDOR_MICROSOFT};
}

const SecurityCenterProduct* choose_product(const std::vector<SecurityCenterProduct>& products)
{
    for (const SecurityCenterProduct& product : products) {
        if (decode_product_state(product.product_state).on) {
            return &product;
        }
    }
    return products.empty() ? nullptr : &products.front();
}

bool wants_defender_status(const SecurityCenterProduct* chosen)
{
    return chosen == nullptr || decode_product_state(chosen->product_state).microsofts;
}

std::optional<CivilDate> parse_cim_datetime(std::wstring_view text)
{
    // yyyymmddHHMMSS.mmmmmmsUUU
    constexpr std::size_t LENGTH = 25;
    if (text.size() != LENGTH || text[14] != L'.' || (text[21] != L'+' && text[21] != L'-') ||
        !decimal_field(text.substr(15, 6)) || !decimal_field(text.substr(22, 3))) {
        return std::nullopt;
    }
    const std::optional<int> year = decimal_field(text.substr(0, 4));
    const std::optional<int> month = decimal_field(text.substr(4, 2));
    const std::optional<int> day = decimal_field(text.substr(6, 2));
    if (!within(year, FIRST_YEAR, 9999) || !within(month, 1, 12) || !within(day, 1, days_in_month(*year, *month)) ||
        !within(decimal_field(text.substr(8, 2)), 0, 23) || !within(decimal_field(text.substr(10, 2)), 0, 59) ||
        !within(decimal_field(text.substr(12, 2)), 0, 59)) {
        return std::nullopt;
    }
    return CivilDate{*year, *month, *day};
}

AntivirusLines antivirus_lines(const SecurityCenterProduct* chosen, const DefenderStatus* defender)
{
    if (!wants_defender_status(chosen)) {
        defender = nullptr;
    }
    if (chosen != nullptr) {
        const ProductState state = decode_product_state(chosen->product_state);
        const bool dated = defender != nullptr && !defender->signatures_date.empty();
        return {yes_or_no(state.on), name_and_version(chosen->display_name, defender ? defender->version : L""),
                dated ? defender->signatures_date : definitions_text(state.definitions)};
    }
    if (defender != nullptr) {
        return {yes_or_no(defender->running), name_and_version(DEFENDER_NAME, defender->version),
                defender->signatures_date};
    }
    return {};
}

}  // namespace tovalen
