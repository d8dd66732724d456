#include "report/report_layout.h"

#include <array>

namespace tovalen {

namespace {

constexpr std::wstring_view LINE_END = L"\r\n";
constexpr std::wstring_view WINDOWS_10 = L"Windows 10";
constexpr std::wstring_view WINDOWS_11 = L"Windows 11";
constexpr std::wstring_view SECTION_END = L"\r\n\r\n";

// Digits only, and at least the given number; a text too long for any integer still counts.
bool is_number_at_least(std::wstring_view text, unsigned minimum)
{
    if (text.empty()) {
        return false;
    }
    unsigned long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        if (value < minimum) {
            value = value * 10 + static_cast<unsigned>(c - L'0');
        }
    }
    return value >= minimum;
}

struct Line {
    std::wstring_view label;
    const std::wstring* value;  // null for a section head
    std::wstring_view ending;
};

void append_line(std::wstring& text, const Line& line)
{
    text += line.label;
    if (line.value != nullptr) {
        text += one_line_text(*line.value);
    }
    text += line.ending;
}

}  // namespace

std::wstring layout_report(const ReportValues& v, std::wstring_view last_boot)
{
    const std::wstring boot(last_boot);
    const std::array<Line, 23> lines{{
        {L"----Hardware----", nullptr, LINE_END},
        {L"Model: ", &v.model, LINE_END},
        {L"Serial#: ", &v.serial_number, LINE_END},
        {L"BIOS Version: ", &v.bios_version, LINE_END},
        {L"HDD Free Space: ", &v.disk_free, SECTION_END},
        {L"----OS----", nullptr, LINE_END},
        {L"Computer Name: ", &v.computer_name, LINE_END},
        {L"Domain: ", &v.domain, LINE_END},
        {L"Operating System: ", &v.os_name, LINE_END},
        {L"OS Version: ", &v.os_version, LINE_END},
        {L"OS Build: ", &v.os_build, LINE_END},
        {L"Last System Boot: ", &boot, LINE_END},
        {L"Total Uptime: ", &v.uptime, SECTION_END},
        {L"----Network----", nullptr, LINE_END},
        {L"IP Address: ", &v.ip_address, LINE_END},
        {L"MAC Address: ", &v.mac_address, SECTION_END},
        {L"----User----", nullptr, LINE_END},
        {L"User Name: ", &v.user_name, LINE_END},
        {L"Logon Server: ", &v.logon_server, SECTION_END},
        {L"----Software----", nullptr, LINE_END},
        {L"IE Version: ", &v.ie_version, LINE_END},
        {L"Antivirus Running: ", &v.av_running, LINE_END},
        {L"Antivirus Build: ", &v.av_build, LINE_END},
    }};
    std::wstring text;
    text.reserve(1024);
    for (const Line& line : lines) {
        append_line(text, line);
    }
    text += L"Antivirus Definition Date: ";
    text += one_line_text(v.av_defs_date);
    return text;
}

bool breaks_report_line(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

std::wstring one_line_text(std::wstring_view value)
{
    std::wstring text(value);
    for (wchar_t& c : text) {
        if (breaks_report_line(c)) {
            c = L' ';
        }
    }
    return text;
}

std::wstring antivirus_running_text(std::wstring_view av_status)
{
    return av_status == L"1" ? L"Yes" : L"No";
}

std::wstring os_build_text(std::wstring_view current_build, std::wstring_view update_revision)
{
    std::wstring text(current_build);
    text += L'.';
    text += update_revision;
    return text;
}

std::wstring os_name_text(std::wstring_view product_name, std::wstring_view current_build)
{
    if (!product_name.starts_with(WINDOWS_10) || !is_number_at_least(current_build, FIRST_WINDOWS_11_BUILD)) {
        return std::wstring(product_name);
    }
    std::wstring name(WINDOWS_11);
    name += product_name.substr(WINDOWS_10.size());
    return name;
}

std::wstring os_version_text(std::wstring_view display_version, std::wstring_view release_id)
{
    return std::wstring(display_version.empty() ? release_id : display_version);
}

}  // namespace tovalen
