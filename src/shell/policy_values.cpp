#include "shell/policy_values.h"

#include "company_network.h"
#include "policy_names.h"
#include "report/collectors.h"

namespace tovalen {

namespace {

std::wstring full_key_name(const wchar_t* key) { return std::wstring(L"HKEY_LOCAL_MACHINE\\") + key; }

// One value of a key, read with the report's registry reader (the program's own view is the
// 64-bit one); an absent key is an absent value.
StoredValue read_stored_value(const wchar_t* key, const wchar_t* name)
{
    RegistryReadResult read;
    read_registry_value(HKEY_LOCAL_MACHINE, key, name, false, &read);
    StoredValue value;
    if (read.status == ERROR_FILE_NOT_FOUND) {
        return value;
    }
    if (read.status != ERROR_SUCCESS) {
        value.state = StoredValue::State::unreadable;
        value.read_error = read.status_text.empty() ? L"error " + std::to_wstring(read.status) : read.status_text;
        return value;
    }
    value.state = StoredValue::State::stored;
    value.type = read.type;
    if (read.type == REG_SZ) {
        value.text = std::move(read.text);
    }
    return value;
}

// Group Policy's value before the one the installer was given, and either before the built-in one.
ChosenValue current_value(const wchar_t* name, std::wstring_view built_in, ValueCheck check)
{
    const KeyedValue keys[] = {
        {read_stored_value(POLICY_KEY, name), full_key_name(POLICY_KEY)},
        {read_stored_value(INSTALLER_KEY, name), full_key_name(INSTALLER_KEY)},
    };
    return choose_first_value(keys, built_in, check, name);
}

}  // namespace

ChosenValue current_form_url()
{
    const FormValues keys[] = {
        {read_stored_value(POLICY_KEY, POLICY_TICKET_FORM_URL), read_stored_value(POLICY_KEY, POLICY_HELPDESK_SERVER),
         full_key_name(POLICY_KEY)},
        {read_stored_value(INSTALLER_KEY, POLICY_TICKET_FORM_URL),
         read_stored_value(INSTALLER_KEY, POLICY_HELPDESK_SERVER), full_key_name(INSTALLER_KEY)},
    };
    return choose_form_url(keys, HELPDESK_SERVER, POLICY_TICKET_FORM_URL, POLICY_HELPDESK_SERVER);
}

ChosenValue current_print_server() { return current_value(POLICY_PRINT_SERVER, PRINT_SERVER, host_name_problem); }

ChosenValue current_support_mailbox()
{
    return current_value(POLICY_SUPPORT_MAILBOX, SUPPORT_MAILBOX, mailbox_problem);
}

}  // namespace tovalen
