// Tokenizing any text either fails or yields 1 to 20 well-formed parts whose tokens lie in the
// text, in order, and follow the language's rules for quotes, parentheses and "=".
#include "comline/command_text.h"
#include "fuzz_text.h"

using namespace tovalen::comline;
using tovalen::fuzz::require;

namespace {

bool is_one_of(std::wstring_view token, std::wstring_view set)
{
    return token.size() == 1 && set.find(token[0]) != std::wstring_view::npos;
}

void check_part(const CommandTable& table, std::int64_t number, std::wstring_view text, const wchar_t*& cursor,
                int& equals_signs)
{
    const CommandPart& part = table.part(number);
    require(part.token_count >= 1 && part.token_count <= MAX_PART_TOKENS, "token count within 1..200");
    require(part.open_count <= 1 && part.open_count == part.close_count, "one balanced pair at most");
    int opens = 0;
    for (std::wstring_view token : table.tokens(number)) {
        require(!token.empty(), "no empty token");
        require(token.data() >= cursor && token.data() + token.size() <= text.data() + text.size(),
                "tokens are ordered views into the text");
        cursor = token.data() + token.size();
        if (token.front() == L'\'') {
            require(token.size() >= 2 && token.back() == L'\'', "a quoted token ends in a quote");
            require(token.substr(1, token.size() - 2).find(L'\'') == std::wstring_view::npos,
                    "no quote inside a quoted token");
        } else if (token.size() > 1) {
            require(token.find_first_of(COMMAND_DELIMITERS) == std::wstring_view::npos,
                    "a plain token holds no delimiter");
        } else {
            require(!is_one_of(token, L"\\ '"), "backslash, space and quote never stand alone");
        }
        opens += token == L"(" ? 1 : 0;
        equals_signs += token == L"=" ? 1 : 0;
    }
    require(opens == part.open_count, "open count matches the tokens");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = tovalen::fuzz::utf16_units(data, size);
    CommandTable table;
    const std::int64_t parts = tokenize_command(text, COMMAND_DELIMITERS, table);
    require(parts >= 0 && parts <= MAX_COMMAND_PARTS, "part count within 0..20");
    if (text.empty()) {
        require(parts == 0, "an empty text is an error");
    }
    const wchar_t* cursor = text.data();
    int equals_signs = 0;
    for (std::int64_t number = 1; number <= parts; ++number) {
        check_part(table, number, text, cursor, equals_signs);
        require(number == parts || equals_signs == 0, "\"=\" only in the last part");
    }
    require(equals_signs <= 1, "one \"=\" at most");

    // The same table tokenizes another text afresh.
    const std::int64_t again = tokenize_command(L"a(1)", COMMAND_DELIMITERS, table);
    require(again == 1 && table.part(1).token_count == 4, "a reused table starts afresh");
    return 0;
}
