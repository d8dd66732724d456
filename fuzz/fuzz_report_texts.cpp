// Byte sizes, uptimes, the report layout and the report's files from arbitrary values.
#include "fuzz_input.h"
#include "report/byte_size.h"
#include "report/report_files.h"
#include "report/report_layout.h"
#include "report/uptime.h"

#include <nlohmann/json.hpp>

#include <algorithm>

using namespace tovalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const auto bytes = input.take<std::int64_t>();
    const std::wstring size_text = format_byte_size(bytes);
    fuzz::require(!size_text.empty() && size_text.find(L' ') != std::wstring::npos);

    const auto seconds = input.take<std::int64_t>();
    const std::wstring uptime = format_uptime(seconds);
    fuzz::require(seconds > 0 || uptime.empty());

    ReportValues values;
    std::wstring* fields[] = {&values.disk_free,   &values.computer_name, &values.domain,       &values.user_name,
                              &values.logon_server, &values.ip_address,   &values.mac_address,  &values.ie_version,
                              &values.os_name,     &values.os_version,    &values.os_build,     &values.model,
                              &values.bios_version, &values.serial_number, &values.av_status,   &values.av_build,
                              &values.av_defs_date, &values.av_running,   &values.uptime,       &values.memory_size};
    for (std::wstring* field : fields) {
        *field = input.take_wide_text();
    }
    const std::wstring boot = input.take_wide_text();
    // The report holds its labels and every shown value once, at its length. The raw antivirus
    // status (shown only through av_running) and the memory size are not in it.
    const std::wstring* shown[] = {&values.disk_free,  &values.computer_name, &values.domain,     &values.user_name,
                                   &values.logon_server, &values.ip_address, &values.mac_address, &values.ie_version,
                                   &values.os_name,     &values.os_version,  &values.os_build,    &values.model,
                                   &values.bios_version, &values.serial_number, &values.av_build, &values.av_defs_date,
                                   &values.av_running,  &values.uptime,      &boot};
    std::size_t total = layout_report(ReportValues{}, {}).size();
    for (const std::wstring* value : shown) {
        total += value->size();
    }
    const std::wstring report = layout_report(values, boot);
    fuzz::require(report.size() == total);
    fuzz::require(report.rfind(L"----Hardware----\r\n", 0) == 0);
    // Whatever the values hold, they add no line: exactly 27 line ends, and no other character
    // that breaks a line.
    fuzz::require(std::count(report.begin(), report.end(), L'\n') == 27 &&
                  std::count(report.begin(), report.end(), L'\r') == 27 &&
                  std::count_if(report.begin(), report.end(), breaks_report_line) == 54);
    const std::wstring last_line = L"Antivirus Definition Date: " + one_line_text(values.av_defs_date);
    fuzz::require(report.size() >= last_line.size() &&
                  report.compare(report.size() - last_line.size(), last_line.size(), last_line) == 0);
    fuzz::require(antivirus_running_text(values.av_status) == (values.av_status == L"1" ? L"Yes" : L"No"));
    fuzz::require(os_build_text(values.os_build, values.os_version).size() ==
                  values.os_build.size() + 1 + values.os_version.size());

    // Whatever the values hold (lone surrogates, control characters, quotes), the JSON document
    // is valid, strict UTF-8 included (the parser throws otherwise), and carries each value.
    const auto document = nlohmann::json::parse(report_json_file(values, boot, "1.0.0", "2026-01-01T00:00:00Z"));
    fuzz::require(document.at("model") == utf8_text(values.model) && document.at("last_boot") == utf8_text(boot));
    fuzz::require(report_text_file(values, boot) == "\xEF\xBB\xBF" + utf8_text(report));
    return 0;
}
