// The company values a test sets for real under the machine policy key or the installer's, for a
// button pressed after: what the button hands over, or the box it shows for a value it refuses.
#pragma once

#include "company_network.h"
#include "policy_names.h"
#include "shell/action_texts.h"
#include "shell/company_values.h"
#include "shell/shell.h"
#include "support/registry_values.h"

#include <ostream>
#include <string>
#include <vector>

namespace tovalen::testing {

// Every value a company may set, under either key.
inline constexpr const wchar_t* COMPANY_VALUE_NAMES[] = {POLICY_HELPDESK_SERVER, POLICY_PRINT_SERVER, POLICY_SUPPORT_MAILBOX,
                                                         POLICY_TICKET_FORM_URL};

// One value as Group Policy or the installer stores it.
struct PolicySetting {
    const wchar_t* name;
    DWORD type;
    std::wstring text;          // the string (REG_MULTI_SZ: its lines with their nulls); a REG_DWORD stores 1
    bool by_installer = false;  // in the installer's key rather than the policy key
};

// A button pressed with the settings stored.
struct PolicyRow {
    const char* name;
    int button;  // TICKET_BUTTON, PRINTER_BUTTON or MAIL_BUTTON
    std::vector<PolicySetting> settings;
    std::wstring handed_over = {};  // form URL, print server or mailbox; empty: the box refusing the first setting
};

inline void PrintTo(const PolicyRow& row, std::ostream* out) { *out << row.name; }

inline bool store(RegistryValues& key, const PolicySetting& setting)
{
    if (setting.type == REG_DWORD) {
        return key.set_number(setting.name, 1);
    }
    return key.set(setting.name, setting.type, setting.text.c_str(), (setting.text.size() + 1) * sizeof(wchar_t));
}

// What the button hands over when no key holds its value.
inline std::wstring built_in_value(int button)
{
    if (button == TICKET_BUTTON) {
        return helpdesk_form_url(HELPDESK_SERVER);
    }
    return button == MAIL_BUTTON ? SUPPORT_MAILBOX : PRINT_SERVER;
}

// The check each value must pass before its button uses it.
inline ValueCheck check_of(std::wstring_view value_name)
{
    if (value_name == POLICY_TICKET_FORM_URL) {
        return form_url_problem;
    }
    if (value_name == POLICY_HELPDESK_SERVER) {
        return helpdesk_server_problem;
    }
    return value_name == POLICY_SUPPORT_MAILBOX ? mailbox_problem : host_name_problem;
}

// The text of the box refusing the setting, in the words the value checks' own tests fix; empty
// when the setting is one its check lets through.
inline std::wstring refusal_message(const PolicySetting& setting)
{
    const StoredValue stored{StoredValue::State::stored, setting.type, setting.type == REG_SZ ? setting.text : L"", {}};
    const wchar_t* key = setting.by_installer ? INSTALLER_KEY : POLICY_KEY;
    return choose_value(stored, L"", check_of(setting.name), setting.name, std::wstring(L"HKEY_LOCAL_MACHINE\\") + key)
        .message;
}

}  // namespace tovalen::testing
