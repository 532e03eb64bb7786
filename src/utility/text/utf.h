// Decoding and encoding of single code points in UTF-8 and UTF-16, without allocation.
// Shared by the string conversions and the formatter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn::utf {

inline constexpr char32_t kReplacement = 0xFFFD;

struct Decoded {
    char32_t codePoint; // kReplacement when !valid
    std::size_t length; // units consumed, at least 1 for non-empty input
    bool valid;
};

namespace detail {
constexpr bool InRange(unsigned char c, unsigned char low, unsigned char high) noexcept {
    return c >= low && c <= high;
}
// The accepted range of the second byte after lead `b` (Unicode table 3-7).
constexpr void SecondByteRange(unsigned char b, unsigned char& low, unsigned char& high) noexcept {
    low = 0x80;
    high = 0xBF;
    if (b == 0xE0) {
        low = 0xA0;
    } else if (b == 0xED) {
        high = 0x9F;
    } else if (b == 0xF0) {
        low = 0x90;
    } else if (b == 0xF4) {
        high = 0x8F;
    }
}
} // namespace detail

// One code point from `text` (size > 0). An ill-formed sequence consumes its maximal
// well-formed prefix (at least one byte) and is reported invalid.
constexpr Decoded DecodeUtf8(const char* text, std::size_t size) noexcept {
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) {
        return {b0, 1, true};
    }
    std::size_t need = 0;
    char32_t cp = 0;
    if (detail::InRange(b0, 0xC2, 0xDF)) {
        need = 1;
        cp = b0 & 0x1Fu;
    } else if (detail::InRange(b0, 0xE0, 0xEF)) {
        need = 2;
        cp = b0 & 0x0Fu;
    } else if (detail::InRange(b0, 0xF0, 0xF4)) {
        need = 3;
        cp = b0 & 0x07u;
    } else {
        return {kReplacement, 1, false};
    }
    unsigned char low = 0;
    unsigned char high = 0;
    detail::SecondByteRange(b0, low, high);
    for (std::size_t i = 1; i <= need; ++i) {
        if (i >= size) {
            return {kReplacement, i, false};
        }
        const auto b = static_cast<unsigned char>(text[i]);
        if (!detail::InRange(b, low, high)) {
            return {kReplacement, i, false};
        }
        cp = (cp << 6) | (b & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {cp, need + 1, true};
}

// One code point from `text` (size > 0); a lone surrogate is one invalid unit.
constexpr Decoded DecodeUtf16(const char16_t* text, std::size_t size) noexcept {
    const char16_t u = text[0];
    if (u < 0xD800 || u > 0xDFFF) {
        return {u, 1, true};
    }
    if (u <= 0xDBFF && size > 1 && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
        const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                            (static_cast<char32_t>(text[1]) - 0xDC00);
        return {cp, 2, true};
    }
    return {kReplacement, 1, false};
}

// Writes the encoding of `cp` (a scalar value) into `out`; returns the unit count.
constexpr std::size_t EncodeUtf8(char32_t cp, char out[4]) noexcept {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

constexpr std::size_t EncodeUtf16(char32_t cp, char16_t out[2]) noexcept {
    if (cp < 0x10000) {
        out[0] = static_cast<char16_t>(cp);
        return 1;
    }
    out[0] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    return 2;
}

// Whether every sequence of `text` is well-formed UTF-8.
constexpr bool IsValidUtf8(const char* text, std::size_t size) noexcept {
    for (std::size_t i = 0; i < size;) {
        const Decoded d = DecodeUtf8(text + i, size - i);
        if (!d.valid) {
            return false;
        }
        i += d.length;
    }
    return true;
}

} // namespace tarn::utf
