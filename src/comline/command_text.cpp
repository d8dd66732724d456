#include "comline/command_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <system_error>

namespace tovalen::comline {

std::span<const std::wstring_view> CommandTable::tokens(std::int64_t number) const
{
    const CommandPart& p = part(number);
    return {store_ + p.first_token, static_cast<std::size_t>(p.token_count)};
}

bool CommandTable::reserve(std::size_t token_capacity)
{
    if (token_capacity <= INLINE_TOKENS) {
        store_ = inline_tokens_.data();
        return true;
    }
    heap_tokens_.reset(new (std::nothrow) std::wstring_view[token_capacity]);
    store_ = heap_tokens_ ? heap_tokens_.get() : nullptr;
    return store_ != nullptr;
}

namespace {

// Membership test of the delimiter set, a bit per ASCII character and a search for the rest.
class DelimiterSet {
public:
    explicit DelimiterSet(std::wstring_view delimiters) : others_(delimiters)
    {
        for (wchar_t ch : delimiters) {
            if (const auto code = code_of(ch); code < 128) {
                ascii_[code / 64] |= std::uint64_t{1} << (code % 64);
            }
        }
    }
    bool contains(wchar_t ch) const
    {
        if (const auto code = code_of(ch); code < 128) {
            return (ascii_[code / 64] >> (code % 64) & 1) != 0;
        }
        return others_.find(ch) != std::wstring_view::npos;
    }

private:
    // wchar_t is signed on some platforms; no character may index below the table.
    static std::uint32_t code_of(wchar_t ch) { return static_cast<std::uint32_t>(ch); }

    std::uint64_t ascii_[2] = {0, 0};
    std::wstring_view others_;
};

bool part_is_complete(const CommandPart& part)
{
    return part.open_count == part.close_count && part.open_count <= 1 && part.token_count >= 1;
}

}  // namespace

std::int64_t tokenize_command(std::wstring_view text, std::wstring_view delimiters, CommandTable& table)
{
    if (text.empty() || !table.reserve(text.size())) {
        return 0;
    }
    const DelimiterSet is_delimiter(delimiters);
    table.parts_ = {};
    std::wstring_view* const store = table.store_;
    std::size_t stored = 0;
    std::int64_t part_number = 1;
    CommandPart* part = &table.parts_[1];
    bool equals_seen = false;

    auto store_token = [&](std::size_t begin, std::size_t end) {
        store[stored++] = text.substr(begin, end - begin);
        ++part->token_count;
    };

    // The pending token is text[pending_begin, i): tokens are always contiguous in the text.
    std::size_t pending_begin = 0;
    bool pending = false;
    std::size_t i = 0;
    while (i < text.size() && part->token_count < MAX_PART_TOKENS) {
        const wchar_t ch = text[i];
        if (!is_delimiter.contains(ch)) {
            if (!pending) {
                pending = true;
                pending_begin = i;
            }
            ++i;
            if (i == text.size()) {
                store_token(pending_begin, i);
            }
            continue;
        }
        if (pending) {
            store_token(pending_begin, i);
            pending = false;
            continue;  // the same delimiter is handled on the next round
        }
        switch (ch) {
        case L'\'': {
            const std::size_t close = text.find(L'\'', i + 1);
            if (close == std::wstring_view::npos) {
                return 0;
            }
            store_token(i, close + 1);
            i = close + 1;
            continue;
        }
        case L' ':
            break;
        case L'(':
            ++part->open_count;
            store_token(i, i + 1);
            break;
        case L')':
            if (part->open_count == 0) {
                return 0;
            }
            ++part->close_count;
            store_token(i, i + 1);
            break;
        case L'=':
            if (equals_seen) {
                return 0;
            }
            equals_seen = true;
            store_token(i, i + 1);
            break;
        case L'\\':
            if (part_number >= MAX_COMMAND_PARTS || !part_is_complete(*part) || equals_seen) {
                return 0;
            }
            ++part_number;
            part = &table.parts_[static_cast<std::size_t>(part_number)];
            part->first_token = stored;
            break;
        case L',':
        default:
            // A comma, and a delimiter of a caller's own set with no meaning here, stand alone as
            // tokens.
            store_token(i, i + 1);
            break;
        }
        ++i;
    }
    return part_is_complete(*part) ? part_number : 0;
}

namespace {

bool is_digit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

// Sign, digits and at most one point; at least one digit, so that "+", "-" and "." are no zero.
bool has_number_shape(std::wstring_view token, bool& has_point)
{
    has_point = false;
    bool has_digit = false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const wchar_t ch = token[i];
        if (is_digit(ch)) {
            has_digit = true;
        } else if (ch == L'.' && !has_point) {
            has_point = true;
        } else if (!((ch == L'+' || ch == L'-') && i == 0)) {
            return false;
        }
    }
    return has_digit;
}

NumberLiteral integer_literal(std::wstring_view token)
{
    const bool negative = token.front() == L'-';
    if (token.front() == L'+' || token.front() == L'-') {
        token.remove_prefix(1);
    }
    // The magnitude may reach 2^63 for the most negative value.
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    std::uint64_t magnitude = 0;
    for (wchar_t ch : token) {
        const auto digit = static_cast<std::uint64_t>(ch - L'0');
        if (magnitude > (limit - digit) / 10) {
            return {};
        }
        magnitude = magnitude * 10 + digit;
    }
    const std::int64_t value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    NumberLiteral literal;
    literal.integer = value;
    // Zero is passed as a four-byte number, as the methods called have always received it, though
    // it would fit in one byte.
    if (value == 0) {  // NOLINT(bugprone-branch-clone): zero goes before the ranges on purpose
        literal.kind = NumberKind::i4;
    } else if (value >= std::numeric_limits<std::int8_t>::min() && value <= std::numeric_limits<std::int8_t>::max()) {
        literal.kind = NumberKind::i1;
    } else if (value >= std::numeric_limits<std::int16_t>::min() && value <= std::numeric_limits<std::int16_t>::max()) {
        literal.kind = NumberKind::i2;
    } else if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
        literal.kind = NumberKind::i4;
    } else {
        literal.kind = NumberKind::i8;
    }
    return literal;
}

NumberLiteral real_literal(std::wstring_view token)
{
    // The shape check left only ASCII, so narrowing is exact; from_chars ignores the locale.
    constexpr std::size_t inline_size = 64;
    char inline_buffer[inline_size];
    std::unique_ptr<char[]> heap_buffer;
    char* buffer = inline_buffer;
    if (token.size() > inline_size) {
        heap_buffer.reset(new (std::nothrow) char[token.size()]);
        if (!heap_buffer) {
            return {};
        }
        buffer = heap_buffer.get();
    }
    std::size_t length = 0;
    for (wchar_t ch : token) {
        if (ch != L'+') {  // from_chars takes "-" but no "+"
            buffer[length++] = static_cast<char>(ch);
        }
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(buffer, buffer + length, value, std::chars_format::fixed);
    if (end != buffer + length) {
        return {};
    }
    if (error == std::errc::result_out_of_range) {
        // A whole part of 1 or more that does not fit is too large: no number. Anything smaller
        // that does not fit is too small to hold, and reads as zero.
        const std::wstring_view whole = token.substr(0, token.find(L'.'));
        if (whole.find_first_of(L"123456789") != std::wstring_view::npos) {
            return {};
        }
        value = token.front() == L'-' ? -0.0 : 0.0;
    } else if (error != std::errc{} || !std::isfinite(value)) {
        return {};
    }
    NumberLiteral literal;
    literal.kind = NumberKind::r8;
    literal.real = value;
    return literal;
}

}  // namespace

NumberLiteral parse_number_token(std::wstring_view token)
{
    bool has_point = false;
    if (!has_number_shape(token, has_point)) {
        return {};
    }
    return has_point ? real_literal(token) : integer_literal(token);
}

namespace {

int hex_value(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9') {
        return ch - L'0';
    }
    if (ch >= L'A' && ch <= L'F') {
        return ch - L'A' + 10;
    }
    if (ch >= L'a' && ch <= L'f') {
        return ch - L'a' + 10;
    }
    return -1;
}

}  // namespace

std::size_t decode_escapes(std::span<wchar_t> text)
{
    constexpr std::size_t escape_digits = 4;
    std::size_t out = 0;
    std::size_t in = 0;
    while (in < text.size()) {
        const wchar_t ch = text[in];
        if (ch != L'$') {
            text[out++] = ch;
            ++in;
            continue;
        }
        unsigned value = 0;
        std::size_t k = 1;
        bool literal_dollar = false;
        for (; k <= escape_digits && in + k < text.size(); ++k) {
            const int digit = hex_value(text[in + k]);
            if (digit < 0) {
                literal_dollar = true;
                break;
            }
            value = value << 4 | static_cast<unsigned>(digit);
        }
        if (literal_dollar) {
            text[out++] = L'$';
            ++in;
        } else if (k <= escape_digits) {
            break;  // the text ends inside the escape: it and the rest are dropped
        } else {
            text[out++] = static_cast<wchar_t>(value & 0xFF);
            in += 1 + escape_digits;
        }
    }
    return out;
}

}  // namespace tovalen::comline
