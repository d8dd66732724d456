// What Windows Security Center and Microsoft Defender say of the antivirus, and the report's
// three antivirus lines made of it. Free of Windows headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovalen {

enum class Definitions { unknown, up_to_date, out_of_date };

struct ProductState {
    bool on = false;
    Definitions definitions = Definitions::unknown;
    bool microsofts = false;
};

// Security Center's productState: undocumented, but the same since Windows Vista. A state that
// could not be read, or does not fit in 32 bits, says nothing: off, definitions unknown.
ProductState decode_product_state(std::optional<std::int64_t> state);

struct SecurityCenterProduct {
    std::wstring display_name;
    std::optional<std::int64_t> product_state;  // none when it was not an integer
};

// The first product that is on, else the first listed; null when none is listed.
const SecurityCenterProduct* choose_product(const std::vector<SecurityCenterProduct>& products);

// Defender's own status is worth asking for only about Microsoft's product, or when Security
// Center named none (Windows Server has no Security Center).
bool wants_defender_status(const SecurityCenterProduct* chosen);

struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// The date of a CIM datetime, "yyyymmddHHMMSS.mmmmmmsUUU", in the time zone it was written in;
// none when a field is missing, not made of digits or out of its range.
std::optional<CivilDate> parse_cim_datetime(std::wstring_view text);

struct DefenderStatus {
    std::wstring version;
    bool running = false;          // the scanner and its service both enabled
    std::wstring signatures_date;  // the user's short date; empty when unknown
};

inline constexpr std::wstring_view DEFENDER_NAME = L"Microsoft Defender Antivirus";

struct AntivirusLines {
    std::wstring running = L"No";
    std::wstring build;
    std::wstring definitions_date;
};

// The three lines from the product Security Center chose (null: it named none) and Defender's
// status (null: not asked, or no answer). Defender's details join only where
// wants_defender_status says so.
AntivirusLines antivirus_lines(const SecurityCenterProduct* chosen, const DefenderStatus* defender);

}  // namespace tovalen
