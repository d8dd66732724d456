#include "shell/actions.h"

#include "platform/clipboard.h"
#include "platform/programs.h"
#include "platform/system_calls.h"
#include "report/collectors.h"
#include "report/report.h"
#include "report/report_files.h"
#include "report/report_layout.h"
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

constexpr wchar_t BROWSER_APP_PATH_KEY[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
constexpr wchar_t COPY_REFUSED_MESSAGE[] =
    L"The report could not be copied: another program is holding the clipboard. Try again in a moment.";
constexpr wchar_t BROWSER_IN_PROGRAM_FILES[] = L"%ProgramFiles%\\Internet Explorer\\iexplore.exe";

// A drive's root or a share: a relative path would be looked up in the current directory.
bool is_absolute_path(std::wstring_view path)
{
    const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    return drive || path.starts_with(L"\\\\");
}

bool is_existing_file(const std::wstring& path)
{
    if (!is_absolute_path(path)) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring without_enclosing_quotes(std::wstring path)
{
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
        return path.substr(1, path.size() - 2);
    }
    return path;
}

// The browser by its full path: where the system registers it, else where it is installed; empty
// when neither names an existing file.
std::wstring installed_browser()
{
    const std::wstring registered =
        without_enclosing_quotes(read_registry_value(HKEY_LOCAL_MACHINE, BROWSER_APP_PATH_KEY, L""));
    if (is_existing_file(registered)) {
        return registered;  // NOLINT(performance-no-automatic-move): one short path, copied once a click
    }
    const std::wstring standard = expand_environment_strings(BROWSER_IN_PROGRAM_FILES);
    return is_existing_file(standard) ? standard : std::wstring();
}

// The box comes up while the report is still shown, so that it stands in front of it.
bool usable_or_reported(const ChosenValue& value)
{
    if (!value.usable()) {
        platform::show_message(value.message, L"Tovalen", MB_ICONERROR);
    }
    return value.usable();
}

// The report as the window shows it, for the user to paste where the mail could not take it.
bool put_report_on_clipboard(std::wstring_view last_boot)
{
    return platform::put_text_on_clipboard(window_layer().window_handle(MAIN_WINDOW),
                                           layout_report(report_values, last_boot));
}

// The last-boot text costs a run of net.exe: a form URL that does not ask for it gets none.
std::wstring filled_with_report(std::wstring_view form_url)
{
    const std::wstring last_boot =
        form_url.find(L"{last_boot}") != std::wstring_view::npos ? get_last_boot_text() : std::wstring();
    return filled_form_url(form_url, report_fields(report_values, last_boot));
}

}  // namespace

std::wstring current_report_mail_url(std::wstring_view support_mailbox)
{
    return report_mail_url(support_mailbox, upper_case(report_values.user_name), report_values, get_last_boot_text());
}

void open_helpdesk_form()
{
    if (const ChosenValue form_url = current_form_url(); usable_or_reported(form_url)) {
        const std::wstring filled = filled_with_report(form_url.text);
        if (const std::wstring browser = installed_browser(); !browser.empty()) {
            platform::start_program(browser, filled, L"");
        } else {
            platform::shell_open(filled, L"", L"");  // the user's default browser
        }
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

void copy_report()
{
    // A report the window does not show is collected for the copy alone, and left stale after it,
    // as a closed window leaves it.
    const bool collected_for_the_copy = report_current == 0;
    if (collected_for_the_copy) {
        build_report();
    }
    const bool copied = put_report_on_clipboard(get_last_boot_text());
    if (collected_for_the_copy) {
        hide_report_window();
    }
    if (!copied) {
        platform::show_message(COPY_REFUSED_MESSAGE, L"Tovalen", MB_ICONWARNING);
    }
}

void send_report_mail()
{
    const ChosenValue mailbox = current_support_mailbox();
    if (!usable_or_reported(mailbox)) {
        hide_report_window();
        return;
    }
    const std::wstring last_boot = get_last_boot_text();
    const ReportMail mail = report_mail(mailbox.text, upper_case(report_values.user_name), report_values, last_boot);
    const bool handed_over = platform::start_program(mail.url, L"", L"");
    if (mail.shortened || !handed_over) {
        put_report_on_clipboard(last_boot);
    }
    if (!handed_over) {
        // The report stays in front of the user, who has nothing else to send it with.
        platform::show_message(no_mail_program_message(mailbox.text), L"Tovalen", MB_ICONWARNING);
        return;
    }
    hide_report_window();
}

}  // namespace tovalen
