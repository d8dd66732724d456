// The command language's lexical layer: splitting a command into parts and tokens, reading number
// literals and decoding "$hhhh" escapes. Free of Windows headers, so that it also builds natively
// for sanitizers and fuzzing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace tovalen::comline {

// Open and close parenthesis, comma, backslash, single quote, equals sign, space.
inline constexpr std::wstring_view COMMAND_DELIMITERS = L"(),\\'= ";

inline constexpr std::int64_t MAX_COMMAND_PARTS = 20;
inline constexpr std::int64_t MAX_PART_TOKENS = 200;

// The tokenizer's record for one part of a command.
struct CommandPart {
    std::int64_t token_count = 0;
    std::int64_t open_count = 0;
    std::int64_t close_count = 0;
    std::size_t first_token = 0;  // index of the part's first token in CommandTable's token store
};

// The parts of one command (entry 0 unused, parts numbered 1 to 20) and their tokens. The tokens
// are views into the command text, so the text must outlive the table; no token is copied.
class CommandTable {
public:
    CommandTable() = default;
    CommandTable(const CommandTable&) = delete;
    CommandTable& operator=(const CommandTable&) = delete;

    const CommandPart& part(std::int64_t number) const { return parts_[static_cast<std::size_t>(number)]; }
    std::span<const std::wstring_view> tokens(std::int64_t number) const;

private:
    friend std::int64_t tokenize_command(std::wstring_view, std::wstring_view, CommandTable&);

    // Every token takes at least one character of the text, so the text's length bounds the
    // number of tokens; short commands (the usual case) need no allocation.
    bool reserve(std::size_t token_capacity);

    static constexpr std::size_t INLINE_TOKENS = 48;
    std::array<CommandPart, MAX_COMMAND_PARTS + 1> parts_{};
    std::array<std::wstring_view, INLINE_TOKENS> inline_tokens_{};
    std::unique_ptr<std::wstring_view[]> heap_tokens_;
    std::wstring_view* store_ = inline_tokens_.data();
};

// Splits `text` into parts at backslashes and the parts into tokens, filling `table`. Returns the
// number of parts, or 0 for a syntax error: an empty text, an unterminated quoted string, ")"
// before "(", a second "=", a backslash that is leading, doubled, inside parentheses or after
// "=", unbalanced or repeated parentheses, an empty last part or a 21st part. A part that reaches
// MAX_PART_TOKENS ends tokenizing; the rest of the text is not looked at.
std::int64_t tokenize_command(std::wstring_view text, std::wstring_view delimiters, CommandTable& table);

enum class NumberKind { invalid, i1, i2, i4, i8, r8 };

// A number literal as read from a token: the smallest signed integer kind that holds the value
// (0 is i4), or r8 for a token with a decimal point.
struct NumberLiteral {
    NumberKind kind = NumberKind::invalid;
    std::int64_t integer = 0;
    double real = 0.0;
};

// Accepts an optional leading sign, decimal digits (at least one) and at most one "." which is
// the decimal point whatever the user's locale. Anything else, including a value beyond the
// range of its kind, is invalid.
NumberLiteral parse_number_token(std::wstring_view token);

// Rewrites "$hhhh" escapes in place and returns the new length (never longer). "$" and four hex
// digits become one character holding the low 8 bits of the value; a "$" followed by a non-hex
// character within four characters stays a literal "$"; a "$" too close to the end to be
// followed by four characters is dropped with what follows it.
std::size_t decode_escapes(std::span<wchar_t> text);

}  // namespace tovalen::comline
