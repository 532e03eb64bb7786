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

} // namespace
} // namespace tarn::rules
