// The information report: the values of the last build and the text shown in the report editor.
#pragma once

#include "report/report_layout.h"
#include "report/report_values.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tovalen {

// The values of the most recent build; the mail action sends them.
extern ReportValues report_values;

// Empties the report editor, collects every value afresh and inserts the report text.
void build_report();

// Every value of the report, collected afresh by the same collectors in the same order as
// build_report; the last-boot text is not among them (layout_report asks for it).
void collect_report_values(ReportValues& values);

// Inserts the text at the caret of a rich-edit control, outside the undo history.
LRESULT insert_report_text(int control, std::wstring_view text);

// The value of an environment variable, whole whatever its length; empty when it is not set.
std::wstring read_environment_variable(const wchar_t* name);

}  // namespace tovalen
