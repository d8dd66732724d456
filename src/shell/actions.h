// The three actions of the report window's buttons. Each uses the company's values as the machine
// policy sets them at that moment (the built-in ones where it sets none); a set value that is not
// valid is named in an error box and nothing is opened. Each ends by hiding the window.
#pragma once

#include <string>
#include <string_view>

namespace tovalen {

void open_helpdesk_form();
void open_printer_share();
void send_report_mail();

// The menu's "Copy report": the report as the window shows it on the clipboard, collected first
// when the window shows none. Does not hide the window.
void copy_report();

// The mail URL of the last report to the mailbox, with a fresh last-boot text.
std::wstring current_report_mail_url(std::wstring_view support_mailbox);

// The whole text upper-cased the way the system does it.
std::wstring upper_case(std::wstring_view text);

}  // namespace tovalen
