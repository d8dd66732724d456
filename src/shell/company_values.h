// The company's values as a machine policy sets them: the checks a value must pass before a
// button uses it, and the choice between a stored value and the built-in one. Free of Windows
// headers; the registry is read beside the actions.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tovalen {

// Each check returns what is wrong with the value as a short phrase that completes "The value
// ... is not used: ", or an empty text when the value may be used.

// An absolute http:// or https:// URL (either scheme in any case) naming a host, without blanks,
// control characters, quotation marks or backslashes; a port, when given, is 1 to 65535.
std::wstring form_url_problem(std::wstring_view url);

// A host name: the letters A-Z and a-z, digits, hyphens and dots, at most 253 characters, in
// labels of 1 to 63 characters between the dots (so no dot at either end and no two in a row),
// none beginning or ending with a hyphen.
std::wstring host_name_problem(std::wstring_view host);

// A host name, optionally followed by ":" and a port number from 1 to 65535 (digits only).
std::wstring helpdesk_server_problem(std::wstring_view server);

// local@host: exactly one "@" with something before it and a host name after it, no blanks,
// no control characters and none of ? # & % / \ : ; , < > " ' (which would end or split the
// mailto: URL it goes into).
std::wstring mailbox_problem(std::wstring_view mailbox);

// A value as the registry holds it, or why it does not.
struct StoredValue {
    enum class State { absent, stored, unreadable };
    State state = State::absent;
    std::uint32_t type = 0;    // the registry's type number, for a stored value
    std::wstring text;         // a stored string value's text, up to its first null
    std::wstring read_error;   // the system's words, for an unreadable one
};

using ValueCheck = std::wstring (*)(std::wstring_view);

// What a button uses: the text, or the message saying why it uses nothing.
struct ChosenValue {
    std::wstring text;
    std::wstring message;  // not empty: show this and hand nothing over

    bool usable() const { return message.empty(); }
};

// A string value (REG_SZ) that passes the check is used; one that is absent or empty leaves the
// built-in value. Anything else stored there (another type, REG_EXPAND_SZ included, or a text
// that fails the check) and a value that cannot be read give the message naming the value, the
// key (its full name, HKEY_LOCAL_MACHINE\...) and what is wrong.
ChosenValue choose_value(const StoredValue& stored, std::wstring_view built_in, ValueCheck check,
                         std::wstring_view value_name, std::wstring_view full_key_name);

// A value as one key holds it, and that key's full name for the message.
struct KeyedValue {
    StoredValue stored;
    std::wstring full_key_name;
};

// The first key that holds the value decides, as choose_value does for it: a value that is absent
// or an empty string leaves the choice to the next key, anything else (an invalid or unreadable
// value included) is the choice. When no key holds it, the built-in value.
ChosenValue choose_first_value(std::span<const KeyedValue> keys, std::wstring_view built_in, ValueCheck check,
                               std::wstring_view value_name);

// The ticket form's two values as one key holds them, and that key's full name for the message.
struct FormValues {
    StoredValue form_url;
    StoredValue helpdesk_server;
    std::wstring full_key_name;
};

// Value by value, the keys in their order (Group Policy's first): a key's TicketFormUrl, then
// its HelpdeskServer, then the next key's two. The first that holds a value (neither absent nor an
// empty string) decides as choose_value does, a server giving the form on that server; when none
// does, the form on the built-in server.
ChosenValue choose_form_url(std::span<const FormValues> keys, std::wstring_view built_in_server,
                            std::wstring_view form_url_name, std::wstring_view server_name);

// The registry's name of a type number ("REG_DWORD"), or "type N" for one it has no name for.
std::wstring registry_type_name(std::uint32_t type);

}  // namespace tovalen
