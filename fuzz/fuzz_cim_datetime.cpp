// Any text as the signature date of Defender's status: a date comes out only of the exact shape,
// and then one that exists in the calendar.
#include "fuzz_text.h"
#include "report/antivirus_facts.h"

using namespace tovalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = fuzz::utf16_units(data, size);
    if (const std::optional<CivilDate> date = parse_cim_datetime(text)) {
        fuzz::require(text.size() == 25 && text[14] == L'.', "a date from a text of another shape");
        fuzz::require(date->year >= 1601 && date->month >= 1 && date->month <= 12 && date->day >= 1 && date->day <= 31,
                      "a date outside the calendar");
    }
    return 0;
}
