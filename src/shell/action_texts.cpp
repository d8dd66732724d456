#include "shell/action_texts.h"

#include "report/hex_text.h"
#include "report/report_files.h"
#include "report/report_layout.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tovalen {

namespace {

// What a header value of a mailto: URL may hold raw: the unreserved characters and the
// "some-delims" but "+".
constexpr std::string_view RAW_IN_MAIL = "!$'()*,;:@";

constexpr std::wstring_view ELLIPSIS = L"\u2026";
constexpr std::wstring_view SHORTENED_LINE = L"(shortened: the whole report is on the clipboard)\r\n";

// The unreserved characters of a URL.
bool is_unreserved(char byte)
{
    const bool letter_or_digit =
        (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
    return letter_or_digit || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

bool stays_raw_in_mail(char byte) { return is_unreserved(byte) || RAW_IN_MAIL.find(byte) != std::string_view::npos; }

std::wstring percent_encoded(std::wstring_view text, bool (*stays_raw)(char))
{
    std::wstring encoded;
    encoded.reserve(text.size());
    for (const char byte : utf8_text(text)) {
        if (stays_raw(byte)) {
            encoded.push_back(static_cast<wchar_t>(byte));
        } else {
            encoded.push_back(L'%');
            append_hex_byte(encoded, static_cast<std::uint8_t>(byte));
        }
    }
    return encoded;
}

bool is_placeholder_name_character(wchar_t c) { return (c >= L'a' && c <= L'z') || c == L'_'; }

// The code units of the code point at "at": two for a surrogate pair, else one.
std::size_t code_point_units(std::wstring_view text, std::size_t at)
{
    const auto unit = static_cast<char32_t>(text[at]);
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() &&
                      static_cast<char32_t>(text[at + 1]) >= 0xDC00 && static_cast<char32_t>(text[at + 1]) <= 0xDFFF;
    return pair ? 2 : 1;
}

std::size_t encoded_length(std::wstring_view text)
{
    std::size_t length = 0;
    for (const char byte : utf8_text(text)) {
        length += stays_raw_in_mail(byte) ? 1 : 3;
    }
    return length;
}

// The value itself when its encoded form is at most "room" long, else its longest beginning that
// fits with "…" (only "…" when none does). Never splits a surrogate pair.
std::wstring value_within(std::wstring_view value, std::size_t room)
{
    if (encoded_length(value) <= room) {
        return std::wstring(value);
    }
    const std::size_t ellipsis = encoded_length(ELLIPSIS);
    std::size_t kept = 0;
    std::size_t used = 0;
    while (kept < value.size()) {
        const std::size_t units = code_point_units(value, kept);
        const std::size_t next = encoded_length(value.substr(kept, units));
        if (used + next + ellipsis > room) {
            break;
        }
        used += next;
        kept += units;
    }
    return std::wstring(value.substr(0, kept)) + std::wstring(ELLIPSIS);
}

struct MailLine {
    std::wstring_view label;
    std::optional<std::wstring> value;  // none for a heading or a blank line
};

// The body's 28 lines: the report's lines but the installed memory. As in the report, no value
// may start a line of its own.
std::vector<MailLine> mail_lines(const ReportValues& v, std::wstring_view boot)
{
    std::vector<MailLine> lines{
        {L"----Hardware----", std::nullopt},
        {L"Model: ", v.model},
        {L"Serial#: ", v.serial_number},
        {L"BIOS Version: ", v.bios_version},
        {L"HDD Free Space: ", v.disk_free},
        {L"", std::nullopt},
        {L"----OS----", std::nullopt},
        {L"Computer Name: ", v.computer_name},
        {L"Domain: ", v.domain},
        {L"Operating System: ", v.os_name},
        {L"OS Version: ", v.os_version},
        {L"OS Build: ", v.os_build},
        {L"Last System Boot: ", std::wstring(boot)},
        {L"Total Uptime :", v.uptime},
        {L"", std::nullopt},
        {L"----Network----", std::nullopt},
        {L"IP Address: ", v.ip_address},
        {L"MAC Address: ", v.mac_address},
        {L"", std::nullopt},
        {L"----User----", std::nullopt},
        {L"User Name: ", v.user_name},
        {L"Logon Server: ", v.logon_server},
        {L"", std::nullopt},
        {L"----Software----", std::nullopt},
        {L"Internet Explorer Version: ", v.ie_version},
        {L"Antivirus Running: ", v.av_running},
        {L"Antivirus Version: ", v.av_build},
        {L"Antivirus Definition Date: ", v.av_defs_date},
    };
    for (MailLine& line : lines) {
        if (line.value) {
            line.value = one_line_text(*line.value);
        }
    }
    return lines;
}

struct MailTexts {
    std::wstring_view mailbox;
    std::wstring user;
    std::vector<MailLine> lines;
};

// The URL with every value cut to at most "room" encoded characters.
std::wstring mail_url_within(const MailTexts& mail, std::size_t room, bool shortened)
{
    std::wstring body;
    for (const MailLine& line : mail.lines) {
        body += line.label;
        if (line.value) {
            body += value_within(*line.value, room);
        }
        body += L"\r\n";
    }
    if (shortened) {
        body += SHORTENED_LINE;
    }
    std::wstring url = L"mailto:";
    url += mail.mailbox;
    url += L"?subject=";
    url += encode_mail_value(value_within(mail.user, room) + L"'s Computer Information");
    url += L"&body=";
    url += encode_mail_value(body);
    return url;
}

std::size_t longest_value(const MailTexts& mail)
{
    std::size_t longest = encoded_length(mail.user);
    for (const MailLine& line : mail.lines) {
        if (line.value) {
            longest = std::max(longest, encoded_length(*line.value));
        }
    }
    return longest;
}

}  // namespace

std::wstring helpdesk_form_url(std::wstring_view helpdesk_server)
{
    std::wstring url = L"http://";
    url += helpdesk_server;
    url += L"/sites/new/IT/helpdesk/_layouts/15/listform.aspx?PageType=8&ListId=%7B183753DB%2D97BF%2D41C2%2D9E3B%2DCB36C889000C%7D&RootFolder=";
    return url;
}

std::optional<FormPlaceholder> next_placeholder(std::wstring_view url, std::size_t from)
{
    for (std::size_t open = url.find(L'{', from); open != std::wstring_view::npos; open = url.find(L'{', open + 1)) {
        std::size_t end = open + 1;
        while (end < url.size() && is_placeholder_name_character(url[end])) {
            ++end;
        }
        if (end > open + 1 && end < url.size() && url[end] == L'}') {
            return FormPlaceholder{open, end + 1 - open, url.substr(open + 1, end - open - 1)};
        }
    }
    return std::nullopt;
}

bool is_report_key(std::wstring_view name)
{
    for (const ReportField& field : report_fields(ReportValues{}, {})) {
        if (std::equal(name.begin(), name.end(), field.key.begin(), field.key.end())) {
            return true;
        }
    }
    return false;
}

std::wstring filled_form_url(std::wstring_view url, const std::vector<ReportField>& fields)
{
    std::wstring filled;
    std::size_t done = 0;
    for (auto placeholder = next_placeholder(url, 0); placeholder;
         placeholder = next_placeholder(url, placeholder->at + placeholder->length)) {
        filled += url.substr(done, placeholder->at - done);
        const std::wstring_view name = placeholder->name;
        const auto field = std::find_if(fields.begin(), fields.end(), [name](const ReportField& f) {
            return std::equal(name.begin(), name.end(), f.key.begin(), f.key.end());
        });
        filled += field == fields.end() ? std::wstring(url.substr(placeholder->at, placeholder->length))
                                        : percent_encoded(field->value, is_unreserved);
        done = placeholder->at + placeholder->length;
    }
    filled += url.substr(done);
    return filled;
}

std::wstring printer_share_path(std::wstring_view print_server)
{
    std::wstring path = L"\\\\";
    path += print_server;
    path += L"\\printers$";
    return path;
}

std::wstring encode_mail_value(std::wstring_view value) { return percent_encoded(value, stays_raw_in_mail); }

ReportMail report_mail(std::wstring_view support_mailbox, std::wstring_view upper_case_user, const ReportValues& v,
                       std::wstring_view last_boot)
{
    const MailTexts mail{support_mailbox, one_line_text(upper_case_user), mail_lines(v, last_boot)};
    const std::size_t longest = longest_value(mail);
    std::wstring whole = mail_url_within(mail, longest, false);
    if (whole.size() <= MAX_MAIL_URL_LENGTH) {
        return {std::move(whole), false};
    }
    // The URL grows with the room each value may take, so the largest room that fits is found by
    // halving; every value longer than it is cut to it, the longest ones first.
    std::size_t fits = 0;
    std::size_t too_long = longest;
    while (too_long - fits > 1) {
        const std::size_t room = fits + (too_long - fits) / 2;
        if (mail_url_within(mail, room, true).size() <= MAX_MAIL_URL_LENGTH) {
            fits = room;
        } else {
            too_long = room;
        }
    }
    return {mail_url_within(mail, fits, true), true};
}

std::wstring no_mail_program_message(std::wstring_view support_mailbox)
{
    std::wstring text = L"No mail program took the report. It is on the clipboard: paste it into a mail to ";
    text += support_mailbox;
    text += L".";
    return text;
}

std::wstring report_mail_url(std::wstring_view support_mailbox, std::wstring_view upper_case_user,
                             const ReportValues& values, std::wstring_view last_boot)
{
    return report_mail(support_mailbox, upper_case_user, values, last_boot).url;
}

}  // namespace tovalen
