#include "utility/log/errortext.h"

#include "utility/log/systemmessage.h"
#include "utility/platform/wintypes.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorText, SystemTextsWithoutLineEndAndFullStop) {
    const struct {
        std::uint32_t code;
        std::uint32_t options;
        std::uint16_t language;
        std::u16string text;
    } cases[] = {
        {2, 8, 1033, u"The system cannot find the file specified"},
        {0x80070002, 8, 1033, u"The system cannot find the file specified"},
        {0x80004005, 8, 1033, u"Unspecified error"},
        {87, 0, 1033, u"The parameter is incorrect"},
        {0, 4, 1033, u"The operation completed successfully"},
        // A language without texts falls back to the default language.
        {5, 8, 1031, u"Access is denied"},
        {0xE0001234, 8, 1033, u""},
        {0xE0001234, 1, 1033, u"No error description available (0xE0001234)"},
        {0xE0001234, 2, 1033, u"No error description available (0xE0001234)"},
        {0xE0001234, 4, 1033, u"No error description available (0xE0001234)"},
        {0x1234, 4, 1033, u"No error description available (0x00001234)"},
        {0xE0001234, 0, 1033, u"No error description available"},
        {0xE0001234, 16, 1033, u"No error description available"},
        {0xE0001234, 12, 1033, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetErrorText(c.code, c.options, c.language), c.text)
            << std::hex << c.code << " options " << c.options;
    }
    EXPECT_EQ(GetErrorText(2), u"The system cannot find the file specified");
    EXPECT_EQ(GetErrorText(0xE0001234), u"");
}

TEST(ErrorText, OnlyOneFullStopIsTrimmed) {
    // The system's texts end in ".\r\n"; one stop goes, an inner one stays.
    const std::u16string raw = tarn::SystemMessageText(1610, tarn::kLanguageEnglishUs);
    ASSERT_EQ(raw.substr(raw.size() - 3), u".\r\n");
    EXPECT_EQ(GetErrorText(1610),
              u"The configuration data for this product is corrupt.  Contact your support "
              u"personnel");
}

TEST(ErrorText, LastErrorTextKeepsTheLastError) {
    SetLastError(3);
    EXPECT_EQ(GetLastErrorText(), u"The system cannot find the path specified");
    EXPECT_EQ(GetLastError(), 3u);
    SetLastError(0xE0001234);
    EXPECT_EQ(GetLastErrorText(), u"");
    EXPECT_EQ(GetLastError(), 0xE0001234u);
    SetLastError(0);
}

TEST(SystemMessage, Win32CodesAnswerInTheirHresultForm) {
    EXPECT_EQ(tarn::SystemMessageText(0x8000FFFF, tarn::kLanguageUserDefault),
              u"Catastrophic failure\r\n");
    EXPECT_EQ(tarn::SystemMessageText(0x8007007E, 1033), tarn::SystemMessageText(126, 1033));
    EXPECT_EQ(tarn::SystemMessageText(0x8007000E, 0), tarn::SystemMessageText(14, 0));
    EXPECT_EQ(tarn::SystemMessageText(0x8008007E, 1033), u"");
    EXPECT_EQ(tarn::SystemMessageText(2, 1031), u"") << "the table is English only";
}

} // namespace
