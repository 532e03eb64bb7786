// Text helpers shared by every subsystem: ASCII case folding (the only folding the system
// does) and conversions between UTF-16 and UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

constexpr char16_t AsciiLower(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// Equal after folding A-Z to a-z and nothing else.
constexpr bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// The value of a hexadecimal digit, or -1.
constexpr int HexDigitValue(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// White space as the C runtime's iswspace sees it in the ASCII range: blank, tab, line feed,
// vertical tab, form feed and carriage return.
constexpr bool IsCrtSpace(char16_t c) noexcept {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Reads a decimal number the way the C runtime's wcstol does: leading white space, an optional
// sign, digits up to the first non-digit; 0 when there are none. Saturates at the limits of the
// signed 32-bit range.
std::int32_t ParseInt32Saturating(std::u16string_view text) noexcept;

// UTF-8 <-> UTF-16. Ill-formed input is replaced with U+FFFD; nothing fails.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// The same conversions appending to `out`, so that a reserved buffer is reused.
void AppendUtf16(std::string_view text, std::u16string& out);
void AppendUtf8(std::u16string_view text, std::string& out);

} // namespace tarn
