// The values of one report build. Free of Windows headers: the text layout is pure logic.
#pragma once

#include <string>

namespace tovalen {

struct ReportValues {
    std::wstring disk_free;
    std::wstring computer_name;
    std::wstring domain;
    std::wstring user_name;
    std::wstring logon_server;
    std::wstring ip_address;
    std::wstring mac_address;
    std::wstring ie_version;
    std::wstring os_name;
    std::wstring os_version;
    std::wstring os_build;
    std::wstring model;
    std::wstring bios_version;
    std::wstring serial_number;
    std::wstring av_status;
    std::wstring av_build;
    std::wstring av_defs_date;
    std::wstring av_running;
    std::wstring uptime;
    std::wstring memory_size;
};

}  // namespace tovalen
