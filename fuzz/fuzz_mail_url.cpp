// The mail URL from arbitrary report values: every character that would cut or corrupt the mail
// is encoded, so no value can add a field or a fragment of its own, and however long the values
// are, the URL stays within what mail programs take.
#include "fuzz_input.h"
#include "shell/action_texts.h"

using namespace tovalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    ReportValues values;
    values.user_name = input.take_wide_text();
    values.model = input.take_wide_text();
    values.bios_version = input.take_wide_text();
    values.logon_server = input.take_wide_text();
    const std::wstring boot = input.take_wide_text();
    const std::wstring encoded = encode_mail_value(values.model);
    for (const wchar_t c : encoded) {
        fuzz::require(c > 0x20 && c < 0x7F && c != L'&' && c != L'#');
    }
    const ReportMail mail = report_mail(L"it@example.com", values.user_name, values, boot);
    const std::wstring& url = mail.url;
    fuzz::require(url.size() <= MAX_MAIL_URL_LENGTH);
    // The fixed text has exactly one "&" (before body=) and no "#" at all.
    std::size_t ampersands = 0;
    std::size_t hashes = 0;
    for (const wchar_t c : url) {
        ampersands += c == L'&' ? 1 : 0;
        hashes += c == L'#' ? 1 : 0;
        fuzz::require(c > 0x20 && c < 0x7F);
    }
    fuzz::require(ampersands == 1 && hashes == 0);
    return 0;
}
