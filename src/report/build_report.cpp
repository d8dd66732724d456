#include "report/report.h"

#include "platform/process_account.h"
#include "report/collectors.h"
#include "report/logon_server.h"
#include "shell/shell.h"

#include <richedit.h>

#include <vector>

namespace tovalen {

ReportValues report_values;
bool unattended_collection = false;

namespace {

constexpr wchar_t WINDOWS_VERSION_KEY[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t BIOS_KEY[] = L"Hardware\\Description\\System\\BIOS";
constexpr wchar_t ANTIVIRUS_KEY[] =
    L"SOFTWARE\\Symantec\\Symantec Endpoint Protection\\CurrentVersion\\public-opstate";

std::wstring machine_value(const wchar_t* key, const wchar_t* value)
{
    return read_registry_value(HKEY_LOCAL_MACHINE, key, value);
}

// The vendor's key speaks for the antivirus when it holds any of its values.
bool holds_any(const RegistryReadResult& status, const RegistryReadResult& build, const RegistryReadResult& date)
{
    return status.status == ERROR_SUCCESS || build.status == ERROR_SUCCESS || date.status == ERROR_SUCCESS;
}

std::wstring uptime_text() { return format_uptime(whole_seconds(read_interrupt_time())); }

}  // namespace

std::wstring read_environment_variable(const wchar_t* name)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length = ::GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        // Too small: length is the size needed, terminator included. The value may also have
        // grown between two calls, so ask again with the new size.
        buffer.assign(length + 1, L'\0');
    }
}

LRESULT insert_report_text(int control, std::wstring_view text)
{
    const std::wstring copy(text);
    return ::SendMessageW(window_layer().window_handle(control), EM_REPLACESEL, 0,
                          reinterpret_cast<LPARAM>(copy.c_str()));
}

void collect_report_values(ReportValues& v)
{
    v.disk_free = get_disk_free_text();

    // From the system, not from COMPUTERNAME, USERDOMAIN and USERNAME, which the user may set to
    // anything: scripts file the report under these names. Only the logon server is known from
    // the environment alone, and is taken when it reads as a server's name.
    v.computer_name = platform::netbios_computer_name();
    platform::AccountName account = platform::process_account_name();
    v.domain = std::move(account.domain);
    v.user_name = std::move(account.user);
    v.logon_server = logon_server_text(read_environment_variable(L"LOGONSERVER"));

    NetworkAddresses network = get_network_addresses();
    v.ip_address = std::move(network.ip);
    v.mac_address = std::move(network.mac);
    v.ie_version = get_browser_version_text();

    // One statement per read, so that they happen in this order and not in the compiler's.
    const std::wstring product_name = machine_value(WINDOWS_VERSION_KEY, L"ProductName");
    const std::wstring display_version = machine_value(WINDOWS_VERSION_KEY, L"DisplayVersion");
    const std::wstring release_id = machine_value(WINDOWS_VERSION_KEY, L"ReleaseId");
    const std::wstring current_build = machine_value(WINDOWS_VERSION_KEY, L"CurrentBuild");
    const std::wstring update_revision = machine_value(WINDOWS_VERSION_KEY, L"UBR");
    v.os_name = os_name_text(product_name, current_build);
    v.os_version = os_version_text(display_version, release_id);
    v.os_build = os_build_text(current_build, update_revision);

    v.model = machine_value(BIOS_KEY, L"SystemProductName");
    v.bios_version = machine_value(BIOS_KEY, L"BIOSVersion");

    v.serial_number = get_serial_number_text();

    RegistryReadResult status_read;
    RegistryReadResult build_read;
    RegistryReadResult date_read;
    v.av_status = read_registry_value(HKEY_LOCAL_MACHINE, ANTIVIRUS_KEY, L"AVRunningStatus", false, &status_read);
    v.av_build = read_registry_value(HKEY_LOCAL_MACHINE, ANTIVIRUS_KEY, L"DeployRunningVersion", false, &build_read);
    v.av_defs_date = read_registry_value(HKEY_LOCAL_MACHINE, ANTIVIRUS_KEY, L"LatestVirusDefsDate", false, &date_read);
    v.av_running = antivirus_running_text(v.av_status);
    if (!holds_any(status_read, build_read, date_read)) {
        AntivirusLines windows = get_windows_antivirus_lines();
        v.av_running = std::move(windows.running);
        v.av_build = std::move(windows.build);
        v.av_defs_date = std::move(windows.definitions_date);
    }

    v.uptime = uptime_text();
    v.memory_size = get_memory_size_text();
}

void build_report()
{
    window_layer().set_control_text(REPORT_EDITOR, L"");
    collect_report_values(report_values);
    insert_report_text(REPORT_EDITOR, layout_report(report_values, get_last_boot_text()));
}

}  // namespace tovalen
