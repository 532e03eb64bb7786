// Wine's registry files read as text: the value forms, escapes, continuations and keys, from a
// file the test writes itself.
#include "machine/image/regfile.h"

#include <gtest/gtest.h>

namespace tarn::image {
namespace {

constexpr char kSystemReg[] = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Orvanta\\Orvanta Agent] 1733468400
#time=1db47c2e0b6e5a2
@="default"
"InstallDir"="C:\\Program Files\\Agent\\"
"Quote"="say \"hi\"\ttab\x00e9\101"
"Expand"=str(2):"%SystemRoot%\\x"
"Multi"=str(7):"a\0b\0"
"Count"=dword:0000002a
"Blob"=hex:01,02,\
  ff,\
  10
"Typed"=hex(7):61,00,00,00,\
  00,00
"Wide"=hex(10003):01
"Broken"=dword:
"Unclosed"="no end

[System\\CurrentControlSet\\Control\\ProductOptions] 1733468400
"ProductType"="WinNT"
)";

std::vector<std::uint8_t> Utf16(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

TEST(RegFile, ValuesOfEveryForm) {
    const RegFile file = RegFile::Parse(kSystemReg);
    EXPECT_EQ(file.KeyCount(), 2u);
    const std::u16string agent = u"SOFTWARE\\orvanta\\Orvanta Agent";
    const struct {
        std::u16string name;
        std::uint32_t type;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {u"", 1, Utf16(u"default")},
        {u"installdir", 1, Utf16(u"C:\\Program Files\\Agent\\")},
        {u"Quote", 1, Utf16(u"say \"hi\"\ttab\u00e9A")},
        {u"Expand", 2, Utf16(u"%SystemRoot%\\x")},
        {u"Multi", 7, Utf16(std::u16string(u"a\0b\0", 4))},
        {u"Count", 4, {0x2a, 0, 0, 0}},
        {u"Blob", 3, {1, 2, 0xff, 0x10}},
        {u"Typed", 7, {0x61, 0, 0, 0, 0, 0}},
        {u"Wide", 0x10003, {1}},
    };
    for (const auto& c : cases) {
        const RegistryValue* value = file.Value(agent, c.name);
        ASSERT_NE(value, nullptr) << std::string(c.name.begin(), c.name.end());
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->bytes, c.bytes) << std::string(c.name.begin(), c.name.end());
    }
    EXPECT_EQ(file.Value(agent, u"Broken"), nullptr);
    EXPECT_EQ(file.Value(agent, u"Unclosed"), nullptr);
    EXPECT_NE(file.Value(u"system\\currentcontrolset\\control\\productoptions", u"ProductType"),
              nullptr);
    EXPECT_EQ(file.Key(u"Software"), nullptr) << "only keys written in the file exist";
}

} // namespace
} // namespace tarn::image
