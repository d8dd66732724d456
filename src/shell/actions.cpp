#include "shell/actions.h"

#include "platform/programs.h"
#include "platform/system_calls.h"
#include "report/collectors.h"
#include "report/report.h"
#include "shell/action_texts.h"
#include "shell/policy_values.h"
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

namespace {

// The box comes up while the report is still shown, so that it stands in front of it.
bool usable_or_reported(const ChosenValue& value)
{
    if (!value.usable()) {
        platform::show_message(value.message, L"Tovalen", MB_ICONERROR);
    }
    return value.usable();
}

}  // namespace

std::wstring current_report_mail_url(std::wstring_view support_mailbox)
{
    return report_mail_url(support_mailbox, upper_case(report_values.user_name), report_values, get_last_boot_text());
}

void open_helpdesk_form()
{
    if (const ChosenValue form_url = current_form_url(); usable_or_reported(form_url)) {
        platform::start_program(BROWSER_PROGRAM, form_url.text, L"");
    }
    hide_report_window();
}

void open_printer_share()
{
    if (const ChosenValue print_server = current_print_server(); usable_or_reported(print_server)) {
        platform::start_program(printer_share_path(print_server.text), L"", L"");
    }
    hide_report_window();
}

void send_report_mail()
{
    if (const ChosenValue mailbox = current_support_mailbox(); usable_or_reported(mailbox)) {
        platform::start_program(current_report_mail_url(mailbox.text), L"", L"");
    }
    hide_report_window();
}

}  // namespace tovalen
