// The checks of the company values against arbitrary text: a value they let through can only
// become what the button expects. An accepted host is made of letters A-Z, digits, hyphens and
// dots; an accepted helpdesk server gives a form URL that is itself accepted; an accepted mailbox
// ends neither the mailto: URL's path nor its query; an accepted form URL has no blank and no
// control character.
#include "fuzz_input.h"
#include "shell/action_texts.h"
#include "shell/company_values.h"

using namespace tovalen;

namespace {

bool plain_host_character(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::wstring text = input.take_wide_text();

    if (host_name_problem(text).empty()) {
        fuzz::require(!text.empty() && text.size() <= 253 && text.front() != L'.' && text.back() != L'.');
        for (const wchar_t c : text) {
            fuzz::require(plain_host_character(c));
        }
    }
    if (helpdesk_server_problem(text).empty()) {
        fuzz::require(form_url_problem(helpdesk_form_url(text)).empty());
    }
    if (mailbox_problem(text).empty()) {
        const std::wstring url = report_mail_url(text, L"USER", ReportValues{}, L"");
        fuzz::require(url.find(L'?') == 7 + text.size());
        fuzz::require(url.find(L'#') == std::wstring::npos);
    }
    if (form_url_problem(text).empty()) {
        for (const wchar_t c : text) {
            fuzz::require(c > 0x20 && c != 0x7F && c != L'"');
        }
    }
    return 0;
}
