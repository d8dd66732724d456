// What the three buttons hand to the system: the helpdesk form's URL, the printer share's path
// and the mail URL with the report. Free of Windows headers.
#pragma once

#include "report/report_values.h"

#include <string>
#include <string_view>

namespace tovalen {

std::wstring helpdesk_form_url(std::wstring_view helpdesk_server);

// Two backslashes, the print server and "\printers$".
std::wstring printer_share_path(std::wstring_view print_server);

// A value made safe to stand inside a mailto: URL: "%", "&", "#", the control characters below
// U+0020, and " < > \ ^ ` { | } + are percent-encoded (as UTF-8, which for these characters is
// one byte), so a model such as "AT&T" or a 15" screen reaches the mail
// intact and in one argument of the mail program. Other characters, letters beyond ASCII among
// them, stay as they are.
std::wstring encode_mail_value(std::wstring_view value);

// The mailto: URL of the report: the mailbox, the subject naming the user (already upper-cased
// by the caller) and the whole report in the body, with the last-boot text given here. Each
// value stays on its line, as one_line_text makes it.
std::wstring report_mail_url(std::wstring_view support_mailbox, std::wstring_view upper_case_user,
                             const ReportValues& values, std::wstring_view last_boot);

}  // namespace tovalen
