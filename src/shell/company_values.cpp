#include "shell/company_values.h"

#include "report/registry_rendering.h"
#include "shell/action_texts.h"

#include <array>

namespace tovalen {

namespace {

constexpr std::size_t MAX_HOST_NAME = 253;
constexpr std::size_t MAX_LABEL = 63;
constexpr unsigned long MAX_PORT = 65535;

bool is_control(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The space separators of Unicode, the line and paragraph separators and the byte-order mark:
// all look like nothing or like a blank, and none belongs in a host, a mailbox or a URL.
bool is_blank(wchar_t c)
{
    return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool is_ascii_letter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool is_ascii_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool is_host_character(wchar_t c) { return is_ascii_letter(c) || is_ascii_digit(c) || c == L'-' || c == L'.'; }

// The character between quotation marks, for a printable ASCII character that the reader can
// recognise; empty for any other.
std::wstring quoted(wchar_t c)
{
    if (c <= 0x20 || c >= 0x7F) {
        return {};
    }
    return std::wstring(L"\"") + c + L"\"";
}

// A phrase for the first blank or control character, if there is one.
std::wstring blank_or_control_fault(std::wstring_view text)
{
    for (const wchar_t c : text) {
        if (is_control(c)) {
            return L"contains a control character";
        }
        if (is_blank(c)) {
            return L"contains a blank";
        }
    }
    return {};
}

std::wstring host_character_fault(std::wstring_view host)
{
    if (std::wstring fault = blank_or_control_fault(host); !fault.empty()) {
        return fault;
    }
    for (const wchar_t c : host) {
        if (!is_host_character(c)) {
            const std::wstring shown = quoted(c);
            return shown.empty() ? L"contains a character other than the letters A-Z, digits, hyphens and dots"
                                 : L"contains " + shown + L", which is not a letter A-Z, a digit, a hyphen or a dot";
        }
    }
    return {};
}

std::wstring label_fault(std::wstring_view label)
{
    if (label.size() > MAX_LABEL) {
        return L"has a label longer than 63 characters";
    }
    if (label.front() == L'-' || label.back() == L'-') {
        return L"has a label that begins or ends with a hyphen";
    }
    return {};
}

std::wstring labels_fault(std::wstring_view host)
{
    if (host.front() == L'.') {
        return L"begins with a dot";
    }
    if (host.back() == L'.') {
        return L"ends with a dot";
    }
    for (std::size_t start = 0; start <= host.size();) {
        const std::size_t dot = host.find(L'.', start);
        const std::size_t end = dot == std::wstring_view::npos ? host.size() : dot;
        if (end == start) {
            return L"has two dots in a row";
        }
        if (std::wstring fault = label_fault(host.substr(start, end - start)); !fault.empty()) {
            return fault;
        }
        start = end + 1;
    }
    return {};
}

// What is wrong with a host name, as a phrase without its subject ("ends with a dot").
std::wstring host_fault(std::wstring_view host)
{
    if (host.empty()) {
        return L"is empty";
    }
    if (std::wstring fault = host_character_fault(host); !fault.empty()) {
        return fault;
    }
    if (host.size() > MAX_HOST_NAME) {
        return L"is longer than 253 characters";
    }
    return labels_fault(host);
}

bool is_port_number(std::wstring_view digits)
{
    if (digits.empty()) {
        return false;
    }
    unsigned long value = 0;
    for (const wchar_t c : digits) {
        if (!is_ascii_digit(c)) {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(c - L'0');
        if (value > MAX_PORT) {
            return false;
        }
    }
    return value >= 1;
}

constexpr wchar_t PORT_FAULT[] = L"has a port that is not a number from 1 to 65535";

bool starts_with_ignoring_case(std::wstring_view text, std::wstring_view ascii_prefix)
{
    if (text.size() < ascii_prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < ascii_prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        if (c != ascii_prefix[i]) {
            return false;
        }
    }
    return true;
}

// The part after "http://" or "https://", or nothing when the URL has neither.
std::wstring_view after_scheme(std::wstring_view url)
{
    for (const std::wstring_view scheme : {std::wstring_view(L"http://"), std::wstring_view(L"https://")}) {
        if (starts_with_ignoring_case(url, scheme)) {
            return url.substr(scheme.size());
        }
    }
    return {};
}

std::wstring authority_fault(std::wstring_view authority)
{
    const std::size_t at = authority.rfind(L'@');
    const std::wstring_view host_and_port = at == std::wstring_view::npos ? authority : authority.substr(at + 1);
    std::size_t host_end = host_and_port.find(L':');
    if (!host_and_port.empty() && host_and_port.front() == L'[') {  // an IPv6 literal holds colons
        const std::size_t close = host_and_port.find(L']');
        if (close == std::wstring_view::npos) {
            return L"has a \"[\" with no \"]\"";
        }
        host_end = host_and_port.find(L':', close);
    }
    const std::wstring_view host = host_and_port.substr(0, host_end);
    if (host.empty() || host == L"[]") {
        return L"names no host";
    }
    if (host_end != std::wstring_view::npos && !is_port_number(host_and_port.substr(host_end + 1))) {
        return PORT_FAULT;
    }
    return {};
}

// A value that decides a choice: one that is absent or an empty string leaves it to the next.
bool holds_value(const StoredValue& stored)
{
    const bool empty_string = stored.state == StoredValue::State::stored && stored.type == REGISTRY_SZ &&
                              stored.text.empty();
    return stored.state != StoredValue::State::absent && !empty_string;
}

std::wstring with_subject(std::wstring_view subject, const std::wstring& fault)
{
    return fault.empty() ? fault : std::wstring(subject) + fault;
}

constexpr std::wstring_view MAILBOX_DELIMITERS = L"?#&%/\\:;,<>\"'";

std::wstring mailbox_fault(std::wstring_view mailbox)
{
    if (std::wstring fault = blank_or_control_fault(mailbox); !fault.empty()) {
        return fault;
    }
    for (const wchar_t c : mailbox) {
        if (MAILBOX_DELIMITERS.find(c) != std::wstring_view::npos) {
            return L"contains " + quoted(c);
        }
    }
    const std::size_t at = mailbox.find(L'@');
    if (at == std::wstring_view::npos) {
        return L"has no \"@\"";
    }
    if (mailbox.find(L'@', at + 1) != std::wstring_view::npos) {
        return L"has more than one \"@\"";
    }
    if (at == 0) {
        return L"has nothing before the \"@\"";
    }
    if (at + 1 == mailbox.size()) {
        return L"has nothing after the \"@\"";
    }
    return with_subject(L"has a part after the \"@\" that ", host_fault(mailbox.substr(at + 1)));
}

// A report value may fill the path, the query or the fragment, never the host the form is sent to.
std::wstring placeholder_problem(std::wstring_view url, std::size_t authority_end)
{
    for (auto placeholder = next_placeholder(url, 0); placeholder;
         placeholder = next_placeholder(url, placeholder->at + placeholder->length)) {
        const std::wstring text(url.substr(placeholder->at, placeholder->length));
        if (placeholder->at < authority_end) {
            return L"it has the placeholder " + text + L" before its path";
        }
        if (!is_report_key(placeholder->name)) {
            return L"it has the unknown placeholder " + text;
        }
    }
    return {};
}

}  // namespace

std::wstring form_url_problem(std::wstring_view url)
{
    if (std::wstring fault = blank_or_control_fault(url); !fault.empty()) {
        return L"it " + fault;
    }
    // A quotation mark would change the browser's command line; a backslash is read as a slash
    // by some URL parsers and not by others, so the host could differ between them.
    if (url.find(L'"') != std::wstring_view::npos) {
        return L"it contains a quotation mark";
    }
    if (url.find(L'\\') != std::wstring_view::npos) {
        return L"it contains a backslash";
    }
    const std::wstring_view rest = after_scheme(url);
    if (rest.data() == nullptr) {
        return L"it is not an absolute URL beginning with http:// or https://";
    }
    const std::wstring_view authority = rest.substr(0, rest.find_first_of(L"/?#"));
    if (std::wstring fault = authority_fault(authority); !fault.empty()) {
        return L"it " + fault;
    }
    return placeholder_problem(url, static_cast<std::size_t>(authority.data() + authority.size() - url.data()));
}

std::wstring host_name_problem(std::wstring_view host) { return with_subject(L"it ", host_fault(host)); }

std::wstring helpdesk_server_problem(std::wstring_view server)
{
    // A character that belongs in no host and no port is named first: "http://h" is a URL given
    // where a server belongs, not a host "http" with a bad port.
    std::wstring without_colons;
    for (const wchar_t c : server) {
        if (c != L':') {
            without_colons.push_back(c);
        }
    }
    if (std::wstring fault = host_character_fault(without_colons); !fault.empty()) {
        return L"it " + fault;
    }
    const std::size_t colon = server.find(L':');
    if (std::wstring problem = host_name_problem(server.substr(0, colon)); !problem.empty()) {
        return problem;
    }
    if (colon != std::wstring_view::npos && !is_port_number(server.substr(colon + 1))) {
        return std::wstring(L"it ") + PORT_FAULT;
    }
    return {};
}

std::wstring mailbox_problem(std::wstring_view mailbox) { return with_subject(L"it ", mailbox_fault(mailbox)); }

std::wstring registry_type_name(std::uint32_t type)
{
    static constexpr std::array<const wchar_t*, 12> names = {
        L"REG_NONE",          L"REG_SZ",
        L"REG_EXPAND_SZ",     L"REG_BINARY",
        L"REG_DWORD",         L"REG_DWORD_BIG_ENDIAN",
        L"REG_LINK",          L"REG_MULTI_SZ",
        L"REG_RESOURCE_LIST", L"REG_FULL_RESOURCE_DESCRIPTOR",
        L"REG_RESOURCE_REQUIREMENTS_LIST", L"REG_QWORD",
    };
    return type < names.size() ? names[type] : L"type " + std::to_wstring(type);
}

ChosenValue choose_first_value(std::span<const KeyedValue> keys, std::wstring_view built_in, ValueCheck check,
                               std::wstring_view value_name)
{
    for (const KeyedValue& key : keys) {
        if (holds_value(key.stored)) {
            return choose_value(key.stored, built_in, check, value_name, key.full_key_name);
        }
    }
    return ChosenValue{std::wstring(built_in), {}};
}

ChosenValue choose_form_url(std::span<const FormValues> keys, std::wstring_view built_in_server,
                            std::wstring_view form_url_name, std::wstring_view server_name)
{
    for (const FormValues& key : keys) {
        if (holds_value(key.form_url)) {
            return choose_value(key.form_url, L"", form_url_problem, form_url_name, key.full_key_name);
        }
        if (holds_value(key.helpdesk_server)) {
            ChosenValue server =
                choose_value(key.helpdesk_server, L"", helpdesk_server_problem, server_name, key.full_key_name);
            if (server.usable()) {
                server.text = helpdesk_form_url(server.text);
            }
            return server;
        }
    }
    return ChosenValue{helpdesk_form_url(built_in_server), {}};
}

ChosenValue choose_value(const StoredValue& stored, std::wstring_view built_in, ValueCheck check,
                         std::wstring_view value_name, std::wstring_view full_key_name)
{
    std::wstring problem;
    switch (stored.state) {
    case StoredValue::State::absent:
        return ChosenValue{std::wstring(built_in), {}};
    case StoredValue::State::unreadable:
        problem = L"it could not be read (" + stored.read_error + L")";
        break;
    case StoredValue::State::stored:
        if (stored.type != REGISTRY_SZ) {
            problem = L"it is stored as " + registry_type_name(stored.type) + L", not as a REG_SZ string";
        } else if (stored.text.empty()) {
            return ChosenValue{std::wstring(built_in), {}};
        } else {
            problem = check(stored.text);
        }
        break;
    }
    if (problem.empty()) {
        return ChosenValue{stored.text, {}};
    }
    std::wstring message = L"The value ";
    message += value_name;
    message += L" of the key ";
    message += full_key_name;
    message += L" is not used: ";
    message += problem;
    message += L".\r\nNothing was opened. Please ask your IT department to correct the value.";
    return ChosenValue{{}, std::move(message)};
}

}  // namespace tovalen
