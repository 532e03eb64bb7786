#include "utility/text/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tarn {
namespace {

std::u16string Wide(const char16_t* format, std::initializer_list<FormatArg> args,
                    std::size_t capacity = 256, bool* cut = nullptr) {
    std::u16string out(capacity, u'#');
    const std::size_t n =
        FormatInto(out.data(), capacity, format, std::data(args), args.size(), cut);
    EXPECT_EQ(out[n], u'\0') << "not terminated after " << n << " characters";
    out.resize(n);
    return out;
}

std::string Narrow(const char* format, std::initializer_list<FormatArg> args) {
    std::string out(256, '#');
    out.resize(FormatInto(out.data(), out.size(), format, std::data(args), args.size()));
    return out;
}

template <class T>
FormatArg A(const T& value) {
    return format_detail::Capture(value);
}

TEST(Format, IntegersFollowTheWindowsSizeRules) {
    const struct {
        const char16_t* format;
        FormatArg arg;
        std::u16string expected;
    } cases[] = {
        {u"%d", A(-42), u"-42"},
        {u"%i", A(2147483647), u"2147483647"},
        {u"%u", A(-1), u"4294967295"},
        {u"%x", A(0xBEEFu), u"beef"},
        {u"%X", A(0xBEEFu), u"BEEF"},
        {u"%o", A(8), u"10"},
        // l is 32 bits, as on Windows; ll and I64 are 64.
        {u"%lx", A(std::int64_t{-1}), u"ffffffff"},
        {u"%ld", A(std::int64_t{0x100000001}), u"1"},
        {u"%llx", A(std::int64_t{-1}), u"ffffffffffffffff"},
        {u"%I64d", A(std::int64_t{-5000000000}), u"-5000000000"},
        {u"%I32d", A(std::int64_t{0x1FFFFFFFF}), u"-1"},
        {u"%hd", A(70000), u"4464"},
        {u"%hu", A(-1), u"65535"},
        {u"%hhd", A(200), u"-56"},
        {u"%hhx", A(0x1FF), u"ff"},
        {u"%Iu", A(std::uint64_t{1} << 40), sizeof(void*) == 8 ? u"1099511627776" : u"0"},
        {u"%zu", A(std::size_t{12}), u"12"},
        {u"%wd", A(-3), u"-3"},
        {u"%d", A(true), u"1"},
        {u"%u", A(u'A'), u"65"},
        {u"%d", A(2.9), u"2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wide(c.format, {c.arg}), c.expected) << std::string(c.format, c.format + 6);
    }
}

TEST(Format, FlagsWidthPrecisionAndMissingOrUnknownPieces) {
    const struct {
        const char16_t* format;
        std::initializer_list<FormatArg> args;
        std::u16string expected;
    } cases[] = {
        {u"[%5d]", {A(42)}, u"[   42]"},
        {u"[%-5d]", {A(42)}, u"[42   ]"},
        {u"[%05d]", {A(-42)}, u"[-0042]"},
        {u"[%-05d]", {A(42)}, u"[42   ]"},
        {u"[%+d|% d|%+d]", {A(5), A(5), A(-5)}, u"[+5| 5|-5]"},
        {u"[%+u]", {A(5u)}, u"[5]"},
        {u"[%.3d]", {A(7)}, u"[007]"},
        {u"[%08.3d]", {A(7)}, u"[     007]"},
        {u"[%.0d]", {A(0)}, u"[]"},
        {u"[%#x|%#X|%#x]", {A(255), A(255), A(0)}, u"[0xff|0XFF|0]"},
        {u"[%#o|%#o|%#.0o]", {A(8), A(0), A(0)}, u"[010|0|0]"},
        {u"[%#010x]", {A(255)}, u"[0x000000ff]"},
        {u"[%*d|%-*d]", {A(4), A(1), A(4), A(2)}, u"[   1|2   ]"},
        {u"[%*d]", {A(-4), A(1)}, u"[1   ]"},
        {u"[%.*d]", {A(-1), A(3)}, u"[3]"},
        {u"[%.*d]", {A(4), A(3)}, u"[0003]"},
        {u"[%5%]", {}, u"[%]"},
        // Missing arguments format as zero or empty.
        {u"%d|%s|%c|%x|%.1f|%p", {}, u"0|||0|0.0|" + std::u16string(sizeof(void*) * 2, u'0')},
        {u"%d %d %d", {A(1)}, u"1 0 0"},
        {u"%*d", {}, u"0"},
        // Unknown and incomplete directives stay as written; %n writes nothing.
        {u"%q|%y", {A(1)}, u"%q|%y"},
        {u"100%", {}, u"100%"},
        {u"50%-5", {}, u"50%-5"},
        {u"%n%d", {A(1), A(2)}, u"2"},
        {u"\u00e9%\u00e9", {}, u"\u00e9%\u00e9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wide(c.format, c.args), c.expected)
            << std::string(c.format, c.format + std::char_traits<char16_t>::length(c.format));
    }
}

TEST(Format, PointersPrintAllDigitsInUpperCase) {
    const std::u16string expected = sizeof(void*) == 8 ? u"00000000DEADBEEF" : u"DEADBEEF";
    EXPECT_EQ(Wide(u"%p", {A(reinterpret_cast<const void*>(std::uintptr_t{0xDEADBEEF}))}),
              expected);
    EXPECT_EQ(Wide(u"[%20p]", {A(nullptr)}).size(), 22u);
    EXPECT_EQ(Narrow("%p", {A(nullptr)}), std::string(sizeof(void*) * 2, '0'));
}

TEST(Format, StringsOfEitherWidthInEitherFormat) {
    const std::u16string wide16 = u"\u00e9t\u00e9 \U0001F600";
    const struct {
        const char16_t* format;
        FormatArg arg;
        std::u16string expected;
    } cases[] = {
        {u"%s", A(u"wide"), u"wide"},
        {u"%ls", A(u"wide"), u"wide"},
        {u"%ws", A(u"wide"), u"wide"},
        {u"%hs", A("narrow"), u"narrow"},
        {u"%S", A("narrow"), u"narrow"},
        // Narrow text is UTF-8 when it is well-formed, else Latin-1.
        {u"%hs", A("\xc3\xa9t\xc3\xa9"), u"\u00e9t\u00e9"},
        {u"%hs", A("caf\xe9"), u"caf\u00e9"},
        {u"%s", A(wide16), wide16},
        {u"%s", A(std::u16string_view(u"abcdef", 3)), u"abc"},
        {u"%hs", A(std::string_view("abcdef", 2)), u"ab"},
        {u"[%s]", A(static_cast<const char16_t*>(nullptr)), u"[(null)]"},
        {u"[%hs]", A(static_cast<const char*>(nullptr)), u"[(null)]"},
        {u"[%s]", A(nullptr), u"[(null)]"},
        {u"[%.3s]", A(static_cast<const char16_t*>(nullptr)), u"[(nu]"},
        {u"[%s]", A(42), u"[]"},
        {u"[%6s|%-6s]", A(u"ab"), u"[    ab|ab    ]"},
        {u"[%.2s]", A(u"abc"), u"[ab]"},
        {u"[%8.2s]", A("abc"), u"[      ab]"},
        // The precision never splits a surrogate pair.
        {u"[%.2s]", A(u"a\U0001F600"), u"[a]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wide(c.format, {c.arg, c.arg}), c.expected)
            << std::string(c.format, c.format + std::char_traits<char16_t>::length(c.format));
    }
}

TEST(Format, PrecisionBoundsWhatIsReadOfUnterminatedText) {
    // No terminator anywhere: AddressSanitizer reports a read past the precision.
    const char narrow[] = {'a', '\xc3', '\xa9', '\xc3', '\xa9'};
    const char16_t wide[] = {u'a', u'b', 0xD83D, 0xDE00};
    const struct {
        const char16_t* format;
        std::initializer_list<FormatArg> args;
        std::u16string expected;
    } toWide[] = {
        {u"[%.2s|%.2ls|%.2ws|%.*s]",
         {A(wide), A(wide), A(wide), A(3), A(wide)},
         u"[ab|ab|ab|ab]"}, // the third unit opens a pair: the pair stays out whole
        {u"[%.1hs|%.3S|%.5hs]", {A(narrow), A(narrow), A(narrow)}, u"[a|a\u00e9|a\u00e9\u00e9]"},
        // UTF-8 cut inside a character by the precision: the character stays out.
        {u"[%.2hs|%.*hs]", {A(narrow), A(4), A(narrow)}, u"[a|a\u00e9]"},
    };
    for (const auto& c : toWide) {
        EXPECT_EQ(Wide(c.format, c.args), c.expected)
            << std::string(c.format, c.format + std::char_traits<char16_t>::length(c.format));
    }
    // Narrow output: the precision counts bytes; the pair would need four more.
    EXPECT_EQ(Narrow("[%.2s|%.2ls|%.3S|%.4ws]", {A(narrow), A(wide), A(wide), A(wide)}),
              "[a\xc3|ab|ab|ab]");
}

TEST(Format, NarrowFormatTakesNarrowStringsByDefault) {
    EXPECT_EQ(Narrow("%s|%hs|%ls|%S|%ws", {A("a"), A("b"), A(u"c"), A(u"d"), A(u"e")}),
              "a|b|c|d|e");
    // Wide text in a narrow output is UTF-8; a lone surrogate becomes U+FFFD.
    EXPECT_EQ(Narrow("%ls", {A(u"\u00e9\U0001F600")}), "\xc3\xa9\xf0\x9f\x98\x80");
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(Narrow("%ls", {A(lone)}), "x\xef\xbf\xbdy");
}

TEST(Format, Characters) {
    const struct {
        const char16_t* format;
        FormatArg arg;
        std::u16string expected;
    } cases[] = {
        {u"%c", A(u'\u20ac'), u"\u20ac"}, {u"%c", A('A'), u"A"},
        {u"%hc", A(0x1E9), u"\u00e9"}, // a narrow character is one byte
        {u"%C", A('\xe9'), u"\u00e9"},    {u"[%3c]", A(u'x'), u"[  x]"},
        {u"[%-3c]", A(u'x'), u"[x  ]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wide(c.format, {c.arg}), c.expected);
    }
    EXPECT_EQ(Narrow("%c%lc", {A('n'), A(u'\u00e9')}), "n\xc3\xa9");
}

TEST(Format, FloatingPoint) {
    const struct {
        const char16_t* format;
        double value;
        std::u16string expected;
    } cases[] = {
        {u"%f", 3.14159, u"3.141590"},
        {u"%.2f", 2.675, u"2.67"}, // the double just below 2.675, exactly
        {u"%.0f", 2.5, u"2"},
        {u"%#.0f", 2.0, u"2."},
        {u"%e", 12345.678, u"1.234568e+04"},
        {u"%E", 0.000123, u"1.230000E-04"},
        {u"%.0e", 5.0, u"5e+00"},
        {u"%#.0e", 5.0, u"5.e+00"},
        {u"%g", 0.0001, u"0.0001"},
        {u"%g", 0.00001, u"1e-05"},
        {u"%g", 100000.0, u"100000"},
        {u"%g", 1000000.0, u"1e+06"},
        {u"%G", 1e-10, u"1E-10"},
        {u"%.3g", 1234.5, u"1.23e+03"},
        {u"%#g", 1.0, u"1.00000"},
        {u"%g", 0.0, u"0"},
        {u"%g", 9.9999999, u"10"},
        {u"%a", 1.0, u"0x1.0000000000000p+0"},
        {u"%.1a", 1.5, u"0x1.8p+0"},
        {u"%A", -0.5, u"-0X1.0000000000000P-1"},
        {u"%+.1f|", 1.0, u"+1.0|"},
        {u"% .1f", 1.0, u" 1.0"},
        {u"%08.2f", -3.14159, u"-0003.14"},
        {u"%-8.2f|", 3.14159, u"3.14    |"},
        {u"%f", -0.0, u"-0.000000"},
        {u"%f", 1e300 * 1e10, u"inf"},
        {u"%F", -1e300 * 1e10, u"-INF"},
        {u"%05f", 1e300 * 1e10, u"  inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Wide(c.format, {A(c.value)}), c.expected)
            << std::string(c.format, c.format + std::char_traits<char16_t>::length(c.format));
    }
    EXPECT_EQ(Wide(u"%.1f", {A(2)}), u"2.0");
    EXPECT_EQ(Wide(u"%.700f", {A(1.0)}, 1024).size(), 602u);
}

TEST(Format, OutputIsCutToTheCapacityAndTerminated) {
    const struct {
        std::size_t capacity;
        std::u16string expected;
        bool cut;
    } cases[] = {
        {1, u"", true},        {4, u"abc", true},   {8, u"abc-12", false},
        {7, u"abc-12", false}, {6, u"abc-1", true},
    };
    for (const auto& c : cases) {
        bool cut = false;
        EXPECT_EQ(Wide(u"%s%d", {A(u"abc"), A(-12)}, c.capacity, &cut), c.expected);
        EXPECT_EQ(cut, c.cut) << c.capacity;
    }
    // A surrogate pair that does not fit whole is left out, and so is everything after it.
    bool cut = false;
    EXPECT_EQ(Wide(u"a%sbc", {A(u"\U0001F600")}, 3, &cut), u"a");
    EXPECT_TRUE(cut);
    char16_t untouched = u'#';
    EXPECT_EQ(FormatInto(&untouched, 0, u"abc", nullptr, 0), 0u);
    EXPECT_EQ(untouched, u'#');
}

TEST(Format, HelpersCaptureTheirArguments) {
    char16_t buffer[16];
    const std::size_t n = FormatTo(buffer, 16, u"%s=%lu", std::u16string(u"key"), 7u);
    EXPECT_EQ(std::u16string(buffer, n), u"key=7");
    EXPECT_EQ(FormatString(4, u"%d", 123456), u"123");
    EXPECT_EQ(FormatString(16, u"plain"), u"plain");
    EXPECT_EQ(FormatInto(buffer, 16, static_cast<const char16_t*>(nullptr), nullptr, 0), 0u);
}

} // namespace
} // namespace tarn
