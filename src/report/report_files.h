// The report as files for scripts and management tools: the text a click shows, and the same
// values as one JSON object. Free of Windows headers.
#pragma once

#include "report/report_values.h"

#include <string>
#include <string_view>
#include <vector>

namespace tovalen {

// UTF-8 of UTF-16 text. A code unit that is not part of a valid surrogate pair (a lone
// surrogate, as a registry value can hold) becomes U+FFFD, so the result is always valid UTF-8.
std::string utf8_text(std::wstring_view text);

// A value of the report with its key in the JSON object.
struct ReportField {
    std::string_view key;
    std::wstring_view value;
};

// The report's values by their keys (snake_case, as the JSON object names them), in the report's
// order; the values stay those of the arguments.
std::vector<ReportField> report_fields(const ReportValues& values, std::wstring_view last_boot);

// The report text (the 28 lines of layout_report, CR LF line ends) as UTF-8 with a byte-order
// mark.
std::string report_text_file(const ReportValues& values, std::wstring_view last_boot);

// The report's values as one JSON object in UTF-8 without a byte-order mark: snake_case keys in
// the report's order, each the exact text the report shows, then "tovalen_version" and
// "collected_at". Ends with a line feed.
std::string report_json_file(const ReportValues& values, std::wstring_view last_boot, std::string_view version,
                             std::string_view collected_at);

// A UTC moment in ISO 8601: "2026-12-08T10:18:49Z".
std::string utc_timestamp_text(int year, int month, int day, int hour, int minute, int second);

}  // namespace tovalen
