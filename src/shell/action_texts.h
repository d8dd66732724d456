// What the three buttons hand to the system: the helpdesk form's URL, the printer share's path
// and the mail URL with the report. Free of Windows headers.
#pragma once

#include "report/report_files.h"
#include "report/report_values.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovalen {

std::wstring helpdesk_form_url(std::wstring_view helpdesk_server);

// A "{name}" in a ticket-form URL, the name of lower-case letters and "_": it stands for the
// report's value of that key. Other braces, such as a list's "{GUID}", are text as before.
struct FormPlaceholder {
    std::size_t at = 0;      // of the "{"
    std::size_t length = 0;  // braces included
    std::wstring_view name;
};

// The first placeholder at or after "from", if there is one.
std::optional<FormPlaceholder> next_placeholder(std::wstring_view url, std::size_t from);

// A key of the report's values (report_fields).
bool is_report_key(std::wstring_view name);

// The form URL with each placeholder replaced by its value, percent-encoded as UTF-8 but for
// letters, digits and "-._~", so that no value can end or split the URL's query; a placeholder
// that names no field is left as it is.
std::wstring filled_form_url(std::wstring_view url, const std::vector<ReportField>& fields);

// Two backslashes, the print server and "\printers$".
std::wstring printer_share_path(std::wstring_view print_server);

// The longest mailto: URL handed over. The shell refuses one above 2,081 characters and common
// handlers drop a longer one without a word (a web mail handler at about 1,600 from a browser's
// own limit, which does not apply to the ones this is handed to); 2,000 leaves the shell room.
constexpr std::size_t MAX_MAIL_URL_LENGTH = 2000;

// A text made safe to stand as a header value of a mailto: URL: every character but the ones a
// header value may hold raw (letters, digits, "-._~" and "!$'()*,;:@") is percent-encoded as the
// bytes of its UTF-8 form, so that blanks, line ends, "&", "#", a 15" screen and letters beyond
// ASCII reach every mail program intact. A "+" is encoded too: raw, form-decoding parsers read a
// blank. A lone surrogate, as a registry value can hold, is sent as U+FFFD.
std::wstring encode_mail_value(std::wstring_view value);

struct ReportMail {
    std::wstring url;
    bool shortened = false;  // some values end in "…": the whole report must reach IT another way
};

// The mailto: URL of the report: the mailbox, the subject naming the user (already upper-cased
// by the caller) and the whole report in the body, with the last-boot text given here, each value
// on its line as one_line_text makes it. When the URL would be longer than MAX_MAIL_URL_LENGTH,
// the longest values are cut first, each ending in "…", so that every line is still there, and a
// last line of the body says so.
ReportMail report_mail(std::wstring_view support_mailbox, std::wstring_view upper_case_user,
                       const ReportValues& values, std::wstring_view last_boot);

// What the user is told when no mail program takes the mail: the report is on the clipboard, to
// be pasted into a mail to the support mailbox.
std::wstring no_mail_program_message(std::wstring_view support_mailbox);

// The URL of report_mail.
std::wstring report_mail_url(std::wstring_view support_mailbox, std::wstring_view upper_case_user,
                             const ReportValues& values, std::wstring_view last_boot);

}  // namespace tovalen
