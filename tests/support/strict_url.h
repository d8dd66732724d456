// A URL taken apart the way a parser that follows the URL standard does it (browser-based mail,
// most desktop mail handlers, Python's urllib): the fragment starts at the first raw "#", the
// query at the first "?" before it, the query's fields are split at every "&" and each at its
// first "=", and names and values are percent-decoded. "+" stays "+" as in a mailto: URL. A
// reference of its own, sharing nothing with the program's URL code. Free of Windows headers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovalen::testing {

struct UrlField {
    std::wstring name;
    std::wstring value;
};

struct StrictUrl {
    std::wstring path;                     // before the query, e.g. "mailto:it@example.com"
    std::vector<UrlField> query;           // in the order they stand
    std::optional<std::wstring> fragment;  // after the first raw "#", still encoded
};

inline int hex_digit_value(wchar_t c)
{
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    return -1;
}

// UTF-8 bytes as UTF-16; a byte that does not belong where it stands comes out as U+FFFD, so
// that a comparison shows it.
inline std::wstring utf16_of_utf8(const std::string& bytes)
{
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool whole = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            whole = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!whole) {
            text.push_back(L'\uFFFD');
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            text.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(c));
        }
        i += length;
    }
    return text;
}

// "%" and two hexadecimal digits become that byte, and the bytes are read as UTF-8; a "%" without
// them stays as it is.
inline std::wstring percent_decode(std::wstring_view text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == L'%' && i + 2 < text.size() ? hex_digit_value(text[i + 1]) : -1;
        const int low = high >= 0 ? hex_digit_value(text[i + 2]) : -1;
        if (low >= 0) {
            bytes.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (text[i] < 0x80) {
            bytes.push_back(static_cast<char>(text[i]));
        } else {
            bytes += "\xEF\xBF\xBD";  // a raw letter beyond ASCII does not belong in a URL
        }
    }
    return utf16_of_utf8(bytes);
}

inline UrlField split_field(std::wstring_view field)
{
    const std::size_t equals = field.find(L'=');
    if (equals == std::wstring_view::npos) {
        return {percent_decode(field), L""};
    }
    return {percent_decode(field.substr(0, equals)), percent_decode(field.substr(equals + 1))};
}

inline StrictUrl split_strict_url(std::wstring_view url)
{
    StrictUrl parts;
    const std::size_t hash = url.find(L'#');
    if (hash != std::wstring_view::npos) {
        parts.fragment = std::wstring(url.substr(hash + 1));
        url = url.substr(0, hash);
    }
    const std::size_t question = url.find(L'?');
    parts.path = std::wstring(url.substr(0, question));
    if (question == std::wstring_view::npos) {
        return parts;
    }
    std::wstring_view query = url.substr(question + 1);
    for (;;) {
        const std::size_t ampersand = query.find(L'&');
        const std::wstring_view field = query.substr(0, ampersand);
        if (!field.empty()) {
            parts.query.push_back(split_field(field));
        }
        if (ampersand == std::wstring_view::npos) {
            break;
        }
        query = query.substr(ampersand + 1);
    }
    return parts;
}

// The value of the first field of that name; nothing when there is none.
inline std::optional<std::wstring> query_value(const StrictUrl& url, std::wstring_view name)
{
    for (const UrlField& field : url.query) {
        if (field.name == name) {
            return field.value;
        }
    }
    return std::nullopt;
}

}  // namespace tovalen::testing
