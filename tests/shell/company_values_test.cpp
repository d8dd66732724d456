#include "shell/company_values.h"

#include "shell/action_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace tovalen {
namespace {

struct CheckRow {
    ValueCheck check;
    const char* check_name;
    std::wstring value;
    std::wstring problem;  // empty: the value is used
};

void PrintTo(const CheckRow& row, std::ostream* out)
{
    *out << row.check_name << "(" << ::testing::PrintToString(row.value) << ")";
}

class ValueChecks : public ::testing::TestWithParam<CheckRow> {};

TEST_P(ValueChecks, NameWhatIsWrong)
{
    EXPECT_EQ(GetParam().check(GetParam().value), GetParam().problem);
}

CheckRow url(std::wstring value, std::wstring problem = {})
{
    return {form_url_problem, "form URL", std::move(value), std::move(problem)};
}
CheckRow host(std::wstring value, std::wstring problem = {})
{
    return {host_name_problem, "host", std::move(value), std::move(problem)};
}
CheckRow helpdesk(std::wstring value, std::wstring problem = {})
{
    return {helpdesk_server_problem, "helpdesk server", std::move(value), std::move(problem)};
}
CheckRow mailbox(std::wstring value, std::wstring problem = {})
{
    return {mailbox_problem, "mailbox", std::move(value), std::move(problem)};
}

const std::wstring LABEL_63(63, L'a');
// 3 labels of 63 and one of 61, with their dots: 253 characters.
const std::wstring NAME_253 = LABEL_63 + L"." + LABEL_63 + L"." + LABEL_63 + L"." + std::wstring(61, L'b');

constexpr wchar_t NOT_HTTP[] = L"it is not an absolute URL beginning with http:// or https://";
constexpr wchar_t NO_HOST[] = L"it names no host";
constexpr wchar_t UNCLOSED[] = L"it has a \"[\" with no \"]\"";
constexpr wchar_t BAD_PORT[] = L"it has a port that is not a number from 1 to 65535";
constexpr wchar_t BLANK[] = L"it contains a blank";
constexpr wchar_t CONTROL[] = L"it contains a control character";
constexpr wchar_t NOT_ASCII[] = L"it contains a character other than the letters A-Z, digits, hyphens and dots";

INSTANTIATE_TEST_SUITE_P(
    FormUrl, ValueChecks,
    ::testing::Values(
        url(L"http://helpdesk.corp.example/sites/IT/listform.aspx?PageType=8&ListId=%7B1%7D&RootFolder="),
        url(L"https://h"), url(L"HTTPS://H.example/"), url(L"hTtP://h:8080/x"), url(L"http://h:65535"),
        url(L"http://user:secret@h/"), url(L"http://[::1]:8443/form"), url(L"https://h?x=1"), url(L"http://h#top"),
        url(L"http://intran\u00e4t.example/formul\u00e4r"),  // a browser takes international names and paths
        url(L"ftp://h/", NOT_HTTP), url(L"http:/h/", NOT_HTTP), url(L"http:h", NOT_HTTP), url(L"//h/x", NOT_HTTP),
        url(L"helpdesk.example.com/form", NOT_HTTP), url(L"httpx://h/", NOT_HTTP), url(L"http", NOT_HTTP),
        url(L"https:", NOT_HTTP), url(L" http://h/", BLANK), url(L"mailto:a@b", NOT_HTTP),
        url(L"http://", NO_HOST), url(L"https:///path", NO_HOST), url(L"http://?q", NO_HOST), url(L"http://#f", NO_HOST),
        url(L"http://:80/", NO_HOST), url(L"http://user@/x", NO_HOST), url(L"http://[]/", NO_HOST),
        url(L"http://[::1/x", UNCLOSED), url(L"http://u@[", UNCLOSED),
        url(L"http://h:0/", BAD_PORT), url(L"http://h:65536/", BAD_PORT), url(L"http://h:/", BAD_PORT),
        url(L"http://h:8o/", BAD_PORT), url(L"http://h:99999999999999999999/", BAD_PORT),
        url(L"http://h/a b", BLANK), url(L"http://h/a\u00a0b", BLANK), url(L"http://h/a\u3000b", BLANK),
        url(L"http://h/\u200b", BLANK), url(L"http://h/\u1680", BLANK), url(L"http://h/\u2000", BLANK),
        url(L"http://h/\u2028", BLANK), url(L"http://h/\u2029", BLANK), url(L"http://h/\u202f", BLANK),
        url(L"http://h/\u205f", BLANK), url(L"http://h/\ufeff", BLANK), url(L"http://h/\u1fff\u200c"),
        url(L"http://h/a\tb", CONTROL), url(L"http://h/\r\n", CONTROL),
        url(std::wstring(L"http://h/a\0b", 12), CONTROL), url(L"http://h/\x7f", CONTROL), url(L"http://h/\x85", CONTROL),
        url(L"http://h/\"x", L"it contains a quotation mark"),
        url(L"http://evil.example\\@h/", L"it contains a backslash"),
        // The host follows the last "@", as browsers read it.
        url(L"http://a@b:1@h/"), url(L"http://u@h@/", NO_HOST),
        // Report values fill a ticket form; braces that are no placeholder (a list's GUID) are text.
        url(L"https://h/new?tf_1={computer_name}&tf_2={model}{av_defs_date}"), url(L"http://h/x?l={1A-2B}&e={}"),
        url(L"https://s/incident.do?sys_id=-1&sysparm_query=short_description=PC%20{computer_name}^description={model}"),
        url(L"https://j/secure/CreateIssueDetails!init.jspa?pid=1&summary=Help%20{computer_name}"),
        url(L"http://h/{Model}{model"), url(L"http://h/?a={modell}", L"it has the unknown placeholder {modell}"),
        url(L"http://h/#{mode}", L"it has the unknown placeholder {mode}"),
        url(L"http://{computer_name}/x", L"it has the placeholder {computer_name} before its path"),
        url(L"http://u{user_name}@h?x", L"it has the placeholder {user_name} before its path")),
    [](const auto& row) { return "row" + std::to_string(row.index); });

INSTANTIATE_TEST_SUITE_P(
    HostName, ValueChecks,
    ::testing::Values(
        host(L"print.example.com"), host(L"PRINT01"), host(L"p"), host(L"10.0.0.5"), host(L"print-01.corp"),
        host(L"a-b.c-d"), host(LABEL_63 + L".com"), host(NAME_253), host(L"1.2.3"),
        host(L"", L"it is empty"), host(L".print.example.com", L"it begins with a dot"),
        host(L"print.example.com.", L"it ends with a dot"), host(L".", L"it begins with a dot"),
        host(L"print..example.com", L"it has two dots in a row"),
        host(L"a" + LABEL_63 + L".com", L"it has a label longer than 63 characters"),
        host(NAME_253 + L"b", L"it is longer than 253 characters"),
        host(L"-print.example", L"it has a label that begins or ends with a hyphen"),
        host(L"print.example-", L"it has a label that begins or ends with a hyphen"),
        host(L"print.-x.example", L"it has a label that begins or ends with a hyphen"), host(L"-", L"it has a label that begins or ends with a hyphen"),
        host(L"print_01", L"it contains \"_\", which is not a letter A-Z, a digit, a hyphen or a dot"),
        host(L"print:80", L"it contains \":\", which is not a letter A-Z, a digit, a hyphen or a dot"),
        host(L"\\\\print", L"it contains \"\\\", which is not a letter A-Z, a digit, a hyphen or a dot"),
        host(L"print/x", L"it contains \"/\", which is not a letter A-Z, a digit, a hyphen or a dot"),
        host(L"dr\u00fccker.example", NOT_ASCII), host(L"\u0440rint.example", NOT_ASCII),  // Cyrillic "р"
        host(L"print\u0661", NOT_ASCII),  // an Arabic-Indic digit is no digit here
        host(L"\U0001F5A8.example", NOT_ASCII), host(L"print example", BLANK), host(L"print\n", CONTROL)),
    [](const auto& row) { return "row" + std::to_string(row.index); });

INSTANTIATE_TEST_SUITE_P(
    HelpdeskServer, ValueChecks,
    ::testing::Values(helpdesk(L"helpdesk.example.com"), helpdesk(L"helpdesk:8080"), helpdesk(L"h:1"),
                      helpdesk(L"h:65535"), helpdesk(L"h:080"), helpdesk(L"10.0.0.5:443"),
                      helpdesk(L"h:0", BAD_PORT), helpdesk(L"h:65536", BAD_PORT), helpdesk(L"h:", BAD_PORT),
                      helpdesk(L"h:-1", BAD_PORT), helpdesk(L"h:+80", L"it contains \"+\", which is not a letter A-Z, a digit, a hyphen or a dot"), helpdesk(L"h:80:81", BAD_PORT),
                      helpdesk(L"h:\u0668\u0660", NOT_ASCII), helpdesk(L"h:80/x", L"it contains \"/\", which is not a letter A-Z, a digit, a hyphen or a dot"),
                      helpdesk(L":80", L"it is empty"), helpdesk(L"h.:80", L"it ends with a dot"),
                      helpdesk(L"http://h", L"it contains \"/\", which is not a letter A-Z, a digit, a hyphen or a dot"),
                      helpdesk(L"h/sites", L"it contains \"/\", which is not a letter A-Z, a digit, a hyphen or a dot"),
                      helpdesk(L"h?x", L"it contains \"?\", which is not a letter A-Z, a digit, a hyphen or a dot"),
                      helpdesk(L"h :80", BLANK)),
    [](const auto& row) { return "row" + std::to_string(row.index); });

INSTANTIATE_TEST_SUITE_P(
    Mailbox, ValueChecks,
    ::testing::Values(
        mailbox(L"it-support@example.com"), mailbox(L"first.last+it@corp.example"), mailbox(L"a@b"),
        mailbox(L"s\u00f8rvice@example.com"), mailbox(L"x@" + NAME_253), mailbox(L"it_support=1@10.0.0.5"),
        mailbox(L"example.com", L"it has no \"@\""), mailbox(L"a@b@c", L"it has more than one \"@\""),
        mailbox(L"@example.com", L"it has nothing before the \"@\""), mailbox(L"it@", L"it has nothing after the \"@\""),
        mailbox(L"it@example.com.", L"it has a part after the \"@\" that ends with a dot"),
        mailbox(L"it@exa_mple.com",
                L"it has a part after the \"@\" that contains \"_\", which is not a letter A-Z, a digit, a hyphen or a dot"),
        mailbox(L"it@" + NAME_253 + L"b", L"it has a part after the \"@\" that is longer than 253 characters"),
        mailbox(L"it@m\u00fcnchen.example", L"it has a part after the \"@\" that " + std::wstring(NOT_ASCII).substr(3)),
        mailbox(L"it@example.com?cc=boss@example.com", L"it contains \"?\""),
        mailbox(L"it@example.com#x", L"it contains \"#\""), mailbox(L"it&co@example.com", L"it contains \"&\""),
        mailbox(L"it%40@example.com", L"it contains \"%\""), mailbox(L"it/x@example.com", L"it contains \"/\""),
        mailbox(L"it\\x@example.com", L"it contains \"\\\""), mailbox(L"it@example.com:25", L"it contains \":\""),
        mailbox(L"a;b@example.com", L"it contains \";\""), mailbox(L"a,b@example.com", L"it contains \",\""),
        mailbox(L"<it@example.com>", L"it contains \"<\""), mailbox(L"it@example.com>", L"it contains \">\""),
        mailbox(L"\"it\"@example.com", L"it contains \"\"\""), mailbox(L"o'neil@example.com", L"it contains \"'\""),
        mailbox(L"it @example.com", BLANK), mailbox(L"it@example.com\r\nBcc: x", CONTROL)),
    [](const auto& row) { return "row" + std::to_string(row.index); });

constexpr wchar_t KEY[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Tovalen";
constexpr wchar_t BUILT_IN[] = L"built-in.example";
constexpr std::uint32_t SZ = 1;

std::wstring message_for(const std::wstring& problem)
{
    return L"The value PrintServer of the key HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Tovalen is not used: " + problem +
           L".\r\nNothing was opened. Please ask your IT department to correct the value.";
}

struct ChoiceRow {
    const char* name;
    StoredValue stored;
    std::wstring text;     // used when the message is empty
    std::wstring message;
};

class ValueChoice : public ::testing::TestWithParam<ChoiceRow> {};

TEST_P(ValueChoice, UsesTheStoredValueTheBuiltInOneOrNone)
{
    const ChosenValue chosen = choose_value(GetParam().stored, BUILT_IN, host_name_problem, L"PrintServer", KEY);
    EXPECT_EQ(chosen.text, GetParam().text);
    EXPECT_EQ(chosen.message, GetParam().message);
    EXPECT_EQ(chosen.usable(), GetParam().message.empty());
}

using State = StoredValue::State;

INSTANTIATE_TEST_SUITE_P(
    Stored, ValueChoice,
    ::testing::Values(
        ChoiceRow{"absent", {State::absent, 0, L"", L""}, BUILT_IN, L""},
        ChoiceRow{"empty", {State::stored, SZ, L"", L""}, BUILT_IN, L""},
        ChoiceRow{"valid", {State::stored, SZ, L"print2.corp", L""}, L"print2.corp", L""},
        ChoiceRow{"invalid", {State::stored, SZ, L"print2.corp.", L""}, L"", message_for(L"it ends with a dot")},
        ChoiceRow{"blank_only", {State::stored, SZ, L" ", L""}, L"", message_for(L"it contains a blank")},
        ChoiceRow{"expandable", {State::stored, 2, L"print2.corp", L""}, L"",
                  message_for(L"it is stored as REG_EXPAND_SZ, not as a REG_SZ string")},
        ChoiceRow{"number", {State::stored, 4, L"", L""}, L"", message_for(L"it is stored as REG_DWORD, not as a REG_SZ string")},
        ChoiceRow{"lines", {State::stored, 7, L"", L""}, L"", message_for(L"it is stored as REG_MULTI_SZ, not as a REG_SZ string")},
        ChoiceRow{"nothing", {State::stored, 0, L"", L""}, L"", message_for(L"it is stored as REG_NONE, not as a REG_SZ string")},
        ChoiceRow{"unknown", {State::stored, 0x12345, L"", L""}, L"",
                  message_for(L"it is stored as type 74565, not as a REG_SZ string")},
        // The last type Windows names, and the first it does not.
        ChoiceRow{"quad_number", {State::stored, 11, L"", L""}, L"",
                  message_for(L"it is stored as REG_QWORD, not as a REG_SZ string")},
        ChoiceRow{"first_unnamed_type", {State::stored, 12, L"", L""}, L"",
                  message_for(L"it is stored as type 12, not as a REG_SZ string")},
        ChoiceRow{"unreadable", {State::unreadable, 0, L"", L"Access denied."}, L"",
                  message_for(L"it could not be read (Access denied.)")}),
    [](const auto& row) { return std::string(row.param.name); });

// Group Policy's key, then the installer's: the first that holds the value decides.
struct FirstKeyRow {
    const char* name;
    StoredValue policy;
    StoredValue installer;
    std::wstring text;
    const wchar_t* deciding_key;  // named by the message; null when the value is usable
};

class FirstKeyChoice : public ::testing::TestWithParam<FirstKeyRow> {};

TEST_P(FirstKeyChoice, TheFirstKeyHoldingTheValueDecides)
{
    const FirstKeyRow& row = GetParam();
    const KeyedValue keys[] = {{row.policy, L"HKEY_LOCAL_MACHINE\\Policy"}, {row.installer, L"HKEY_LOCAL_MACHINE\\Installer"}};
    const ChosenValue chosen = choose_first_value(keys, BUILT_IN, host_name_problem, L"PrintServer");
    EXPECT_EQ(chosen.text, row.text);
    const std::wstring named = row.deciding_key == nullptr ? L"" : std::wstring(L"of the key ") + row.deciding_key + L" ";
    EXPECT_EQ(chosen.message.find(named) != std::wstring::npos && !chosen.message.empty(), row.deciding_key != nullptr)
        << ::testing::PrintToString(chosen.message);
}

const StoredValue NONE{State::absent, 0, L"", L""};
const StoredValue EMPTY{State::stored, SZ, L"", L""};
const StoredValue GOOD{State::stored, SZ, L"print2.corp", L""};
const StoredValue OTHER{State::stored, SZ, L"print3.corp", L""};
const StoredValue BAD{State::stored, SZ, L"print2.corp.", L""};
const StoredValue EMPTY_NUMBER{State::stored, 4, L"", L""};

INSTANTIATE_TEST_SUITE_P(
    Keys, FirstKeyChoice,
    ::testing::Values(FirstKeyRow{"neither", NONE, NONE, BUILT_IN, nullptr},
                      FirstKeyRow{"installer_only", NONE, GOOD, L"print2.corp", nullptr},
                      FirstKeyRow{"policy_empty", EMPTY, GOOD, L"print2.corp", nullptr},
                      FirstKeyRow{"both_empty", EMPTY, EMPTY, BUILT_IN, nullptr},
                      FirstKeyRow{"policy_first", OTHER, GOOD, L"print3.corp", nullptr},
                      FirstKeyRow{"policy_invalid", BAD, GOOD, L"", L"HKEY_LOCAL_MACHINE\\Policy"},
                      FirstKeyRow{"policy_number_even_empty", EMPTY_NUMBER, GOOD, L"", L"HKEY_LOCAL_MACHINE\\Policy"},
                      FirstKeyRow{"installer_invalid", NONE, BAD, L"", L"HKEY_LOCAL_MACHINE\\Installer"}),
    [](const auto& row) { return std::string(row.param.name); });

// The ticket form, value by value: Group Policy's form URL, then its server, then the installer's.
struct FormRow {
    const char* name;
    StoredValue policy_form;
    StoredValue policy_server;
    StoredValue installer_form;
    StoredValue installer_server;
    std::wstring text;
    const wchar_t* refused = nullptr;  // "<value> of the key <key>" that the message names
};

class FormChoice : public ::testing::TestWithParam<FormRow> {};

TEST_P(FormChoice, GroupPolicysValuesComeBeforeTheInstallers)
{
    const FormRow& row = GetParam();
    const FormValues keys[] = {{row.policy_form, row.policy_server, L"HKEY_LOCAL_MACHINE\\Policy"},
                               {row.installer_form, row.installer_server, L"HKEY_LOCAL_MACHINE\\Installer"}};
    const ChosenValue chosen = choose_form_url(keys, BUILT_IN, L"TicketFormUrl", L"HelpdeskServer");
    EXPECT_EQ(chosen.text, row.text);
    const std::wstring named = row.refused == nullptr ? L"" : std::wstring(L"The value ") + row.refused + L" is not used";
    EXPECT_EQ(!chosen.message.empty() && chosen.message.starts_with(named), row.refused != nullptr)
        << ::testing::PrintToString(chosen.message);
}

const StoredValue FORM{State::stored, SZ, L"https://tickets.corp/new", L""};
const StoredValue OTHER_FORM{State::stored, SZ, L"https://tickets2.corp/new", L""};
const StoredValue FTP_FORM{State::stored, SZ, L"ftp://tickets.corp/new", L""};

INSTANTIATE_TEST_SUITE_P(
    Keys, FormChoice,
    ::testing::Values(
        FormRow{"none", NONE, NONE, NONE, NONE, helpdesk_form_url(BUILT_IN)},
        FormRow{"installer_form", NONE, NONE, FORM, NONE, FORM.text},
        FormRow{"policy_server_before_installer_form", NONE, GOOD, FORM, NONE, helpdesk_form_url(GOOD.text)},
        FormRow{"policy_form_before_policy_server", OTHER_FORM, BAD, FORM, NONE, OTHER_FORM.text},
        FormRow{"empty_policy_values_leave_the_installers", EMPTY, EMPTY, NONE, GOOD, helpdesk_form_url(GOOD.text)},
        FormRow{"policy_server_invalid", NONE, BAD, FORM, NONE, L"", L"HelpdeskServer of the key HKEY_LOCAL_MACHINE\\Policy"},
        FormRow{"installer_form_invalid", NONE, NONE, FTP_FORM, GOOD, L"",
                L"TicketFormUrl of the key HKEY_LOCAL_MACHINE\\Installer"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tovalen
