// Any token is either rejected or read as a number whose value written back gives the token
// again (up to sign, leading zeros and the precision of a double).
#include <cmath>
#include <cstdlib>
#include <string>

#include "comline/command_text.h"
#include "fuzz_text.h"

using namespace tovalen::comline;
using tovalen::fuzz::require;

namespace {

bool has_number_shape(std::wstring_view token)
{
    bool point = false;
    bool digit = false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const wchar_t ch = token[i];
        if (ch >= L'0' && ch <= L'9') {
            digit = true;
        } else if (ch == L'.' && !point) {
            point = true;
        } else if (!((ch == L'+' || ch == L'-') && i == 0)) {
            return false;
        }
    }
    return digit;
}

// The token's digits without sign and leading zeros, as the integer would print them.
std::wstring canonical_integer(std::wstring_view token)
{
    const bool negative = token.front() == L'-';
    if (token.front() == L'+' || negative) {
        token.remove_prefix(1);
    }
    const std::size_t first = token.find_first_not_of(L'0');
    if (first == std::wstring_view::npos) {
        return L"0";
    }
    return (negative ? L"-" : L"") + std::wstring(token.substr(first));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring token = tovalen::fuzz::utf16_units(data, size);
    const NumberLiteral literal = parse_number_token(token);
    if (literal.kind == NumberKind::invalid) {
        return 0;
    }
    require(has_number_shape(token), "only sign, digits and one point are numbers");
    if (literal.kind == NumberKind::r8) {
        require(token.find(L'.') != std::wstring::npos, "a real has a point");
        require(std::isfinite(literal.real), "a real is finite");
        std::string narrow(token.begin(), token.end());
        require(std::strtod(narrow.c_str(), nullptr) == literal.real, "the C library reads the same value");
        return 0;
    }
    require(token.find(L'.') == std::wstring::npos, "an integer has no point");
    require(std::to_wstring(literal.integer) == canonical_integer(token), "the value prints as the token");
    const std::int64_t v = literal.integer;
    switch (literal.kind) {
    case NumberKind::i1:
        require(v != 0 && v >= -128 && v <= 127, "i1 range");
        break;
    case NumberKind::i2:
        require((v < -128 || v > 127) && v >= -32768 && v <= 32767, "i2 range");
        break;
    case NumberKind::i4:
        require((v == 0 || v < -32768 || v > 32767) && v >= INT32_MIN && v <= INT32_MAX, "i4 range");
        break;
    case NumberKind::i8:
        require(v < INT32_MIN || v > INT32_MAX, "i8 range");
        break;
    default:
        require(false, "a known kind");
    }
    return 0;
}
