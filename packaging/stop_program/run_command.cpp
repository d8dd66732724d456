#include "stop_program/run_command.h"

namespace tovalen::packaging {

namespace {

constexpr std::wstring_view BLANKS = L" \t";

}  // namespace

std::wstring program_of_run_command(std::wstring_view command)
{
    const std::size_t start = command.find_first_not_of(BLANKS);
    if (start == std::wstring_view::npos) {
        return {};
    }
    command.remove_prefix(start);
    if (command.front() == L'"') {
        const std::size_t closing = command.find(L'"', 1);
        if (closing != std::wstring_view::npos) {
            return std::wstring(command.substr(1, closing - 1));
        }
        std::wstring_view rest = command.substr(1);
        const std::size_t last = rest.find_last_not_of(BLANKS);
        return std::wstring(last == std::wstring_view::npos ? std::wstring_view{} : rest.substr(0, last + 1));
    }
    return std::wstring(command.substr(0, command.find_first_of(BLANKS)));
}

}  // namespace tovalen::packaging
