// The report as the user reads it: five sections of labelled values.
#pragma once

#include "report/report_values.h"

#include <string>
#include <string_view>

namespace tovalen {

// The 28 report lines joined with CR LF, an empty line between sections and no line end after
// the last line. Values are inserted as collected, except that none may break its line.
std::wstring layout_report(const ReportValues& values, std::wstring_view last_boot);

// A control character (U+0000 to U+001F, U+007F to U+009F) or a Unicode line or paragraph
// separator: in a value it would start a line of its own, where it could pass for a report line.
bool breaks_report_line(wchar_t c);

// The value with each character that breaks_report_line names turned into a blank, so that a
// value always stays on its own line (a user name holding "\r\nAntivirus Running: Yes" cannot add
// a line of its own); every other character stays as it is.
std::wstring one_line_text(std::wstring_view value);

// "Yes" when the antivirus status is exactly the text "1", otherwise "No".
std::wstring antivirus_running_text(std::wstring_view av_status);

// "CurrentBuild" + "." + "UBR"; the dot stands even when either part is missing.
std::wstring os_build_text(std::wstring_view current_build, std::wstring_view update_revision);

// The first build of Windows 11; Windows 11 still stores "Windows 10 ..." as its product name.
inline constexpr unsigned FIRST_WINDOWS_11_BUILD = 22000;

// The product name, with "Windows 10" at its start read as "Windows 11" when the build is a
// number of at least FIRST_WINDOWS_11_BUILD. Every other name stays as stored.
std::wstring os_name_text(std::wstring_view product_name, std::wstring_view current_build);

// The release: "DisplayVersion" when it holds text, else "ReleaseId" (which has stood at "2009"
// since Windows 10 20H2).
std::wstring os_version_text(std::wstring_view display_version, std::wstring_view release_id);

}  // namespace tovalen
