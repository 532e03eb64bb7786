// Class-ID text as rule elements name their engines (the rule element itself is in the corpus).
#include "rules/classid.h"

#include <gtest/gtest.h>

namespace tarn::rules {
namespace {

#define PROVIDER u"{DF407668-EC52-4582-8C1D-0C4D73E9530E}"
#define ZERO u"{00000000-0000-0000-0000-000000000000}"

struct ClassIdCase {
    const char* name;
    const char16_t* text;
    const char16_t* parsed; // in the registry form
};

const ClassIdCase kClassIdCases[] = {
    {"upper case", PROVIDER, PROVIDER},
    {"lower case", u"{df407668-ec52-4582-8c1d-0c4d73e9530e}", PROVIDER},
    {"mixed case", u"{Df407668-eC52-4582-8c1D-0C4d73e9530E}", PROVIDER},
    {"another class", u"{9c8307fc-6d88-43cd-b7c0-8d0f0cbd35fd}",
     u"{9C8307FC-6D88-43CD-B7C0-8D0F0CBD35FD}"},
    {"no braces", u"DF407668-EC52-4582-8C1D-0C4D73E9530E", ZERO},
    {"hyphen moved", u"{DF40766-8EC52-4582-8C1D-0C4D73E9530E}", ZERO},
    {"non-hex digit", u"{DF407668-EC52-4582-8C1D-0C4D73E9530G}", ZERO},
    {"surrounding blank", u" {DF407668-EC52-4582-8C1D-0C4D73E9530E}", ZERO},
    {"one digit short", u"{DF407668-EC52-4582-8C1D-0C4D73E9530}", ZERO},
    {"empty", u"", ZERO},
};

TEST(ClassId, ParsesOnlyTheRegistryForm) {
    for (const ClassIdCase& c : kClassIdCases) {
        EXPECT_EQ(FormatClassId(ParseClassId(c.text)), c.parsed) << c.name;
    }
}

TEST(ClassId, FormatsUpperCaseAndReadsBack) {
    const GUID id = {0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
    EXPECT_EQ(FormatClassId(id), u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    EXPECT_TRUE(ParseClassId(FormatClassId(id)) == id);
    EXPECT_EQ(FormatClassId(kProviderClassId), u"{DF407668-EC52-4582-8C1D-0C4D73E9530E}");
}

} // namespace
} // namespace tarn::rules
