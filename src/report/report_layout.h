// The report as the user reads it: five sections of labelled values.
#pragma once

#include "report/report_values.h"

#include <string>
#include <string_view>

namespace tovalen {

// The 28 report lines joined with CR LF, an empty line between sections and no line end after
// the last line. Values are inserted exactly as collected.
std::wstring layout_report(const ReportValues& values, std::wstring_view last_boot);

// "Yes" when the antivirus status is exactly the text "1", otherwise "No".
std::wstring antivirus_running_text(std::wstring_view av_status);

// "CurrentBuild" + "." + "UBR"; the dot stands even when either part is missing.
std::wstring os_build_text(std::wstring_view current_build, std::wstring_view update_revision);

}  // namespace tovalen
