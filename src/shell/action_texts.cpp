#include "shell/action_texts.h"

#include "report/hex_text.h"
#include "report/report_layout.h"

#include <initializer_list>

namespace tovalen {

namespace {

// Besides what would end or split the body ("%", "&", "#", line ends), what may not stand raw in
// a URL and what a mail handler's command line ("... "%1"") would split on. A raw "+" reads as a
// blank to form-decoding parsers and as a plus to others; encoded, both read a plus.
constexpr std::wstring_view ENCODED_IN_MAIL = L"%&#\"<>\\^`{|}+";

bool needs_mail_encoding(wchar_t c) { return c < 0x20 || ENCODED_IN_MAIL.find(c) != std::wstring_view::npos; }

struct MailPiece {
    std::wstring_view fixed;
    const std::wstring* value;  // null for a fixed piece on its own
};

}  // namespace

std::wstring helpdesk_form_url(std::wstring_view helpdesk_server)
{
    std::wstring url = L"http://";
    url += helpdesk_server;
    url += L"/sites/new/IT/helpdesk/_layouts/15/listform.aspx?PageType=8&ListId=%7B183753DB%2D97BF%2D41C2%2D9E3B%2DCB36C889000C%7D&RootFolder=";
    return url;
}

std::wstring printer_share_path(std::wstring_view print_server)
{
    std::wstring path = L"\\\\";
    path += print_server;
    path += L"\\printers$";
    return path;
}

std::wstring encode_mail_value(std::wstring_view value)
{
    std::wstring encoded;
    encoded.reserve(value.size());
    for (const wchar_t c : value) {
        if (needs_mail_encoding(c)) {
            encoded.push_back(L'%');
            append_hex_byte(encoded, static_cast<std::uint8_t>(c));  // all below U+0080
        } else {
            encoded.push_back(c);
        }
    }
    return encoded;
}

std::wstring report_mail_url(std::wstring_view support_mailbox, std::wstring_view upper_case_user,
                             const ReportValues& v, std::wstring_view last_boot)
{
    const std::wstring boot(last_boot);
    const std::initializer_list<MailPiece> body = {
        {L"'s Computer Information&body=----Hardware----%0D%0AModel: ", &v.model},
        // The "#" is encoded: raw, a URL parser takes it as the start of a fragment and the body
        // would end at "Serial".
        {L"%0D%0ASerial%23: ", &v.serial_number},
        {L"%0D%0ABIOS Version: ", &v.bios_version},
        {L"%0D%0AHDD Free Space: ", &v.disk_free},
        {L"%0D%0A%0D%0A----OS----%0D%0AComputer Name: ", &v.computer_name},
        {L"%0D%0ADomain: ", &v.domain},
        {L"%0D%0AOperating System: ", &v.os_name},
        {L"%0D%0AOS Version: ", &v.os_version},
        {L"%0D%0AOS Build: ", &v.os_build},
        {L"%0D%0ALast System Boot: ", &boot},
        {L"%0D%0ATotal Uptime :", &v.uptime},
        {L"%0D%0A%0D%0A----Network----%0D%0AIP Address: ", &v.ip_address},
        {L"%0D%0AMAC Address: ", &v.mac_address},
        {L"%0D%0A%0D%0A----User----%0D%0AUser Name: ", &v.user_name},
        {L"%0D%0ALogon Server: ", &v.logon_server},
        {L"%0D%0A%0D%0A----Software----%0D%0AInternet Explorer Version: ", &v.ie_version},
        {L"%0D%0AAntivirus Running: ", &v.av_running},
        {L"%0D%0AAntivirus Version: ", &v.av_build},
        {L"%0D%0AAntivirus Definition Date: ", &v.av_defs_date},
        {L"%0D%0A", nullptr},
    };
    std::wstring url = L"mailto:";
    url += support_mailbox;
    url += L"?subject=";
    // As in the report, no value may start a line of the mail (or a header, in the subject).
    url += encode_mail_value(one_line_text(upper_case_user));
    for (const MailPiece& piece : body) {
        url += piece.fixed;
        if (piece.value != nullptr) {
            url += encode_mail_value(one_line_text(*piece.value));
        }
    }
    return url;
}

}  // namespace tovalen
