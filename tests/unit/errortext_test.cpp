// Error texts for log messages: the system's text trimmed, the default language when the
// asked one has none, and the fallbacks. What the Windows message table answers is
// agentlog_test's in tests/windows.
#include "utility/log/errortext.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorText, SystemTextsTrimmedOrTheFallbacks) {
    const struct {
        std::uint32_t code;
        std::uint32_t options;
        std::uint16_t language;
        std::u16string text;
    } cases[] = {
        {0x80070002, 8, 1033, u"The system cannot find the file specified"},
        {87, 0, 1033, u"The parameter is incorrect"},
        // One full stop goes, an inner one stays.
        {1610, 8, 1033,
         u"The configuration data for this product is corrupt.  Contact your support personnel"},
        // A language without texts falls back to the default language.
        {5, 8, 1031, u"Access is denied"},
        {0xE0001234, 8, 1033, u""},
        {0xE0001234, 12, 1033, u""},
        {0xE0001234, 2, 1033, u"No error description available (0xE0001234)"},
        {0x1234, 4, 1033, u"No error description available (0x00001234)"},
        {0xE0001234, 16, 1033, u"No error description available"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetErrorText(c.code, c.options, c.language), c.text)
            << std::hex << c.code << " options " << c.options;
    }
}

} // namespace
