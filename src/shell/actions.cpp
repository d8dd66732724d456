#include "shell/actions.h"

#include "company_network.h"
#include "platform/programs.h"
#include "report/collectors.h"
#include "report/report.h"
#include "shell/action_texts.h"
#include "shell/shell.h"

namespace tovalen {

std::wstring upper_case(std::wstring_view text)
{
    std::wstring copy(text);
    if (!copy.empty()) {
        ::CharUpperW(copy.data());
    }
    return copy;
}

std::wstring current_report_mail_url()
{
    return report_mail_url(SUPPORT_MAILBOX, upper_case(report_values.user_name), report_values, get_last_boot_text());
}

void open_helpdesk_form()
{
    platform::start_program(BROWSER_PROGRAM, helpdesk_form_url(HELPDESK_SERVER), L"");
    hide_report_window();
}

void open_printer_share()
{
    platform::start_program(printer_share_path(PRINT_SERVER), L"", L"");
    hide_report_window();
}

void send_report_mail()
{
    platform::start_program(current_report_mail_url(), L"", L"");
    hide_report_window();
}

}  // namespace tovalen
