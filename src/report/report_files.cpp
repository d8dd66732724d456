#include "report/report_files.h"

#include "report/report_layout.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tovalen {

namespace {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
constexpr char UTF8_BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

bool is_high_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
    } else {
        if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        }
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (c & 0x3F));
}

}  // namespace

std::string utf8_text(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // wchar_t is a UTF-16 code unit on Windows; where it is wider, a whole code point.
        char32_t c = static_cast<char32_t>(text[i]);
        if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(static_cast<char32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (is_high_surrogate(c) || is_low_surrogate(c) || c > 0x10FFFF) {
            c = REPLACEMENT_CHARACTER;
        }
        append_utf8(out, c);
    }
    return out;
}

std::string report_text_file(const ReportValues& values, std::wstring_view last_boot)
{
    return UTF8_BYTE_ORDER_MARK + utf8_text(layout_report(values, last_boot));
}

std::vector<ReportField> report_fields(const ReportValues& v, std::wstring_view last_boot)
{
    return {
        {"model", v.model},
        {"serial_number", v.serial_number},
        {"bios_version", v.bios_version},
        {"disk_free", v.disk_free},
        {"computer_name", v.computer_name},
        {"domain", v.domain},
        {"os_name", v.os_name},
        {"os_version", v.os_version},
        {"os_build", v.os_build},
        {"last_boot", last_boot},
        {"uptime", v.uptime},
        {"ip_address", v.ip_address},
        {"mac_address", v.mac_address},
        {"user_name", v.user_name},
        {"logon_server", v.logon_server},
        {"ie_version", v.ie_version},
        {"av_running", v.av_running},
        {"av_build", v.av_build},
        {"av_defs_date", v.av_defs_date},
    };
}

std::string report_json_file(const ReportValues& v, std::wstring_view last_boot, std::string_view version,
                             std::string_view collected_at)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const ReportField& field : report_fields(v, last_boot)) {
        object[std::string(field.key)] = utf8_text(field.value);
    }
    object["tovalen_version"] = std::string(version);
    object["collected_at"] = std::string(collected_at);
    // The texts are valid UTF-8 already; replacing is only the library's last line of defence.
    return object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string utc_timestamp_text(int year, int month, int day, int hour, int minute, int second)
{
    // Room for six numbers of any size with their signs, so the text is never cut short.
    char text[80] = {};
    (void)std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute, second);
    return text;
}

}  // namespace tovalen
