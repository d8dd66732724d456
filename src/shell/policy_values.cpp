#include "shell/policy_values.h"

#include "company_network.h"
#include "platform/handles.h"
#include "policy_names.h"
#include "report/registry_rendering.h"
#include "shell/action_texts.h"

#include <new>
#include <vector>

namespace tovalen {

namespace {

// A value that grows between the size query and the read is asked for again, a few times at most.
constexpr int READ_ATTEMPTS = 4;
constexpr DWORD FIRST_READ_BYTES = 512;

std::wstring full_key_name() { return std::wstring(L"HKEY_LOCAL_MACHINE\\") + POLICY_KEY; }

std::wstring system_message(LSTATUS status)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const platform::UniqueLocalMemory owner(buffer);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text.empty() ? L"error " + std::to_wstring(status) : text;
}

StoredValue unreadable(LSTATUS status)
{
    StoredValue value;
    value.state = StoredValue::State::unreadable;
    value.read_error = system_message(status);
    return value;
}

StoredValue read_from_key(HKEY key, const wchar_t* name)
{
    std::vector<std::uint8_t> data(FIRST_READ_BYTES);
    for (int attempt = 0; attempt < READ_ATTEMPTS; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size);
            continue;
        }
        if (status == ERROR_FILE_NOT_FOUND) {
            return StoredValue{};
        }
        if (status != ERROR_SUCCESS) {
            return unreadable(status);
        }
        data.resize(size);
        StoredValue value;
        value.state = StoredValue::State::stored;
        value.type = type;
        if (type == REG_SZ) {
            value.text = render_registry_data(REGISTRY_SZ, data).text;
        }
        return value;
    }
    return unreadable(ERROR_MORE_DATA);
}

// One value of the policy key in the 64-bit view, read-only; an absent key is an absent value.
StoredValue read_policy_value(const wchar_t* name)
{
    try {
        platform::UniqueKey key;
        const LSTATUS status =
            ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, POLICY_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put());
        if (status == ERROR_FILE_NOT_FOUND) {
            return StoredValue{};
        }
        if (status != ERROR_SUCCESS) {
            return unreadable(status);
        }
        return read_from_key(key.get(), name);
    } catch (const std::bad_alloc&) {
        return unreadable(ERROR_NOT_ENOUGH_MEMORY);
    }
}

ChosenValue current_value(const wchar_t* name, std::wstring_view built_in, ValueCheck check)
{
    return choose_value(read_policy_value(name), built_in, check, name, full_key_name());
}

}  // namespace

ChosenValue current_form_url()
{
    ChosenValue form_url = current_value(POLICY_TICKET_FORM_URL, L"", form_url_problem);
    if (!form_url.usable() || !form_url.text.empty()) {
        return form_url;
    }
    ChosenValue server = current_value(POLICY_HELPDESK_SERVER, HELPDESK_SERVER, helpdesk_server_problem);
    if (server.usable()) {
        server.text = helpdesk_form_url(server.text);
    }
    return server;
}

ChosenValue current_print_server() { return current_value(POLICY_PRINT_SERVER, PRINT_SERVER, host_name_problem); }

ChosenValue current_support_mailbox()
{
    return current_value(POLICY_SUPPORT_MAILBOX, SUPPORT_MAILBOX, mailbox_problem);
}

}  // namespace tovalen
