// The three actions of the report window's buttons. Each ends by hiding the window.
#pragma once

#include <string>
#include <string_view>

namespace tovalen {

void open_helpdesk_form();
void open_printer_share();
void send_report_mail();

// The mail URL of the last report, with a fresh last-boot text.
std::wstring current_report_mail_url();

// The whole text upper-cased the way the system does it.
std::wstring upper_case(std::wstring_view text);

}  // namespace tovalen
