#include "report/logon_server.h"

#include <algorithm>

namespace tovalen {

namespace {

constexpr std::wstring_view SERVER_PREFIX = L"\\\\";

bool is_letter_or_digit(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

bool is_name_character(wchar_t c) { return is_letter_or_digit(c) || c == L'-' || c == L'_' || c == L'.'; }

}  // namespace

std::wstring logon_server_text(std::wstring_view variable)
{
    if (!variable.starts_with(SERVER_PREFIX)) {
        return {};
    }
    const std::wstring_view name = variable.substr(SERVER_PREFIX.size());
    if (name.empty() || name.size() > LONGEST_LOGON_SERVER_NAME || !is_letter_or_digit(name.front()) ||
        !std::all_of(name.begin(), name.end(), is_name_character)) {
        return {};
    }
    return std::wstring(variable);
}

}  // namespace tovalen
