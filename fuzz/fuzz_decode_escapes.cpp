// Decoding in place never writes past the text and agrees with a plain reference decoder.
#include <memory>
#include <span>
#include <string>

#include "comline/command_text.h"
#include "fuzz_text.h"

using namespace tovalen::comline;
using tovalen::fuzz::require;

namespace {

int hex_digit(wchar_t ch)
{
    const std::wstring_view digits = L"0123456789abcdef";
    const wchar_t lower = ch >= L'A' && ch <= L'F' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
    const std::size_t at = digits.find(lower);
    return at == std::wstring_view::npos ? -1 : static_cast<int>(at);
}

// Builds a new string instead of rewriting in place, as an independent reading of the rules.
std::wstring reference_decode(const std::wstring& text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != L'$') {
            out += text[i++];
            continue;
        }
        const std::wstring next = text.substr(i + 1, 4);
        std::size_t bad = 0;
        while (bad < next.size() && hex_digit(next[bad]) >= 0) {
            ++bad;
        }
        if (bad < next.size()) {
            out += L'$';
            ++i;
        } else if (next.size() < 4) {
            break;
        } else {
            out += static_cast<wchar_t>(std::stoul(next, nullptr, 16) & 0xFF);
            i += 5;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring original = tovalen::fuzz::utf16_units(data, size);
    // Exactly sized, so that AddressSanitizer sees any write past the end.
    auto buffer = std::make_unique<wchar_t[]>(original.size());
    original.copy(buffer.get(), original.size());
    const std::size_t length = decode_escapes(std::span<wchar_t>(buffer.get(), original.size()));
    require(length <= original.size(), "never longer");
    require(std::wstring(buffer.get(), length) == reference_decode(original), "agrees with the reference");
    return 0;
}
