#include "shell/command_line.h"

#include <algorithm>
#include <cwctype>

namespace tovalen {

namespace {

bool same_switch(const std::wstring& argument, std::wstring_view name)
{
    return std::equal(argument.begin(), argument.end(), name.begin(), name.end(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

CommandLineRequest bad(std::wstring problem) { return {RunMode::bad_command_line, {}, std::move(problem)}; }

}  // namespace

CommandLineRequest read_command_line(const std::vector<std::wstring>& arguments)
{
    if (arguments.empty()) {
        return {};
    }
    const std::wstring& first = arguments.front();
    if (first == L"/?") {
        return arguments.size() == 1 ? CommandLineRequest{RunMode::show_usage, {}, {}}
                                     : bad(L"/? takes nothing after it");
    }
    RunMode mode = RunMode::tray;
    if (same_switch(first, L"/report")) {
        mode = RunMode::report_text;
    } else if (same_switch(first, L"/json")) {
        mode = RunMode::report_json;
    } else {
        return bad(L"unknown switch " + first);
    }
    // A switch where the FILE should be is a FILE left out, not a file named after the switch.
    if (arguments.size() < 2 || arguments[1].empty() || arguments[1].front() == L'/') {
        return bad(first + L" needs a FILE");
    }
    if (arguments.size() > 2) {
        return bad(L"unexpected " + arguments[2]);
    }
    return {mode, arguments[1], {}};
}

}  // namespace tovalen
