// UTF-8 <-> UTF-16: every ill-formed piece becomes one U+FFFD, nothing fails.
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

TEST(Strings, Utf8ToUtf16ReplacesEachIllFormedSubpart) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"plain", u"plain"},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", u"\u00e9\u20ac\U0001F600"},
        {"a\x80z", u"a\uFFFDz"},                 // stray continuation byte
        {"\xc0\xaf", u"\uFFFD\uFFFD"},           // overlong lead, then stray continuation
        {"\xe2\x82z", u"\uFFFDz"},               // interrupted sequence keeps the next byte
        {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate is not a scalar
        {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xe2\x82", u"\uFFFD"},                           // truncated at the end
        {"\xf5", u"\uFFFD"},                               // never a lead byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    }
}

TEST(Strings, Utf16ToUtf8ReplacesLoneSurrogates) {
    const struct {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"\u007f\u0080\u07ff\u0800\uffff", "\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf"},
        {u"\U00010000\U0010FFFF", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"},
        {std::u16string{u'a', char16_t(0xDC00), u'b'}, "a\xef\xbf\xbd"
                                                       "b"},
        {std::u16string{char16_t(0xD800)}, "\xef\xbf\xbd"},
        {std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)},
         "\xef\xbf\xbd\xf0\x90\x80\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    }
}

TEST(Strings, ParseInt32LikeTheRuntime) {
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"42", 42},
        {u"  \t-17xyz", -17},
        {u"+8", 8},
        {u"", 0},
        {u"abc", 0},
        {u"- 5", 0},
        {u"00012", 12},
        {u"2147483647", 2147483647},
        {u"99999999999", 2147483647},
        {u"-1", -1},
        {u"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseInt32Saturating(text), value) << Utf16ToUtf8(text);
    }
}

} // namespace
} // namespace tarn
