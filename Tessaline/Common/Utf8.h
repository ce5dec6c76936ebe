#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Tessaline::Utf8 {

constexpr bool isScalar(uint32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Appends the scalar's UTF-8 form; a value that is not a scalar appends U+FFFD.
inline void append(std::string& out, uint32_t c) {
    if (!isScalar(c)) c = 0xFFFD;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

inline std::string encode(uint32_t c) {
    std::string s;
    append(s, c);
    return s;
}

inline std::string encode(std::u32string_view scalars) {
    std::string s;
    for (char32_t c : scalars)
        append(s, c);
    return s;
}

// Strict decoding of a whole string: false when it is not valid UTF-8 (overlong forms, surrogates and
// values above U+10FFFF included).
bool decode(std::string_view in, std::u32string& out);

} // namespace Tessaline::Utf8
