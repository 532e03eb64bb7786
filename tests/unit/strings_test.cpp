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
        {"", u""},
        {"plain", u"plain"},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", u"\u00e9\u20ac\U0001F600"},
        {"a\x80z", u"a\uFFFDz"},                 // stray continuation byte
        {"\xc0\xaf", u"\uFFFD\uFFFD"},           // overlong lead, then stray continuation
        {"\xe2\x82", u"\uFFFD"},                 // truncated sequence: one replacement
        {"\xe2\x82z", u"\uFFFDz"},               // interrupted sequence keeps the next byte
        {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate is not a scalar
        {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xf5", u"\uFFFD"},
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
        {u"", ""},
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

TEST(Strings, AppendingKeepsWhatIsThere) {
    std::string narrow = "x";
    AppendUtf8(u"\u00e9", narrow);
    EXPECT_EQ(narrow, "x\xc3\xa9");
    std::u16string wide = u"y";
    AppendUtf16("\xc3\xa9", wide);
    EXPECT_EQ(wide, u"y\u00e9");
}

TEST(Strings, AsciiCaseFoldingOnly) {
    const struct {
        std::u16string a;
        std::u16string b;
        int order;
    } cases[] = {
        {u"Agent.LOG", u"agent.log", 0},
        {u"abc", u"abd", -1},
        {u"abd", u"ABC", 1},
        {u"ab", u"abc", -1},
        {u"abc", u"ab", 1},
        {u"", u"", 0},
        {u"\u00c9", u"\u00e9", -1}, // no folding outside ASCII
        {u"[", u"a", -1},           // '[' sorts below the folded 'a', above 'Z'
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareAsciiNoCase(c.a, c.b), c.order);
        EXPECT_EQ(EqualsAsciiNoCase(c.a, c.b), c.order == 0);
    }
    EXPECT_EQ(AsciiToLower(u"MiXeD \u00c9"), u"mixed \u00c9");
}

TEST(Strings, ParseInt32LikeTheRuntime) {
    const struct {
        std::u16string text;
        std::int32_t value;
    } cases[] = {
        {u"42", 42},
        {u"  \t-17xyz", -17},
        {u"+8", 8},
        {u"", 0},
        {u"abc", 0},
        {u"- 5", 0},
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"-99999999999999999999", -2147483647 - 1},
        {u"00012", 12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseInt32Saturating(c.text), c.value);
    }
}

TEST(Strings, LengthOfNullIsZero) {
    EXPECT_EQ(Length(nullptr), 0u);
    EXPECT_EQ(Length(u"four"), 4u);
}

} // namespace
} // namespace tarn
