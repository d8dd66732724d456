// The three actions of the report window's buttons. Each ends by hiding the window.
#pragma once

namespace tovalen {

void open_helpdesk_form();
void open_printer_share();
void send_report_mail();

}  // namespace tovalen
