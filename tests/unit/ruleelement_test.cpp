// The rule element for this provider's own class ID, and class-ID text.
#include "rules/classid.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "utility/platform/bstr.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace tarn::rules {
namespace {

class NoMachine final : public Machine {};

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

class ClassIdTable : public testing::TestWithParam<ClassIdCase> {};

TEST_P(ClassIdTable, ParsesOnlyTheRegistryForm) {
    const ClassIdCase& c = GetParam();
    EXPECT_EQ(FormatClassId(ParseClassId(c.text)), c.parsed);
}

INSTANTIATE_TEST_SUITE_P(Texts, ClassIdTable, testing::ValuesIn(kClassIdCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

TEST(ClassId, FormatsUpperCaseAndReadsBack) {
    const GUID id = {0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
    EXPECT_EQ(FormatClassId(id), u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    EXPECT_TRUE(ParseClassId(FormatClassId(id)) == id);
    EXPECT_EQ(FormatClassId(kProviderClassId), u"{DF407668-EC52-4582-8C1D-0C4D73E9530E}");
}

struct RuleCase {
    const char* name;
    const char16_t* xml;
    HRESULT hr;
};

#define OWN u"engine='{df407668-EC52-4582-8C1D-0C4D73E9530E}'"

const RuleCase kRuleCases[] = {
    {"own engine, content holds", u"<ruleset><rule " OWN "><and/></rule></ruleset>", S_OK},
    {"own engine, content does not hold",
     u"<ruleset><rule " OWN "><not><and/></not></rule></ruleset>", S_FALSE},
    {"own engine, only the first child counts",
     u"<ruleset><rule " OWN "><and/><Foo/></rule></ruleset>", S_OK},
    {"element name matched without case", u"<ruleset><RULE " OWN "><and/></RULE></ruleset>", S_OK},
    // Without state, and stops at the first child that does not hold; with it, the raising
    // second child is reached, so the state flag travels through the rule element.
    {"state not set", u"<ruleset><rule " OWN "><and><not><and/></not><Foo/></and></rule></ruleset>",
     S_FALSE},
    {"state handed down",
     u"<ruleset type='State'><rule " OWN "><and><not><and/></not><Foo/></and></rule></ruleset>",
     E_FAIL},
    {"own engine without content", u"<ruleset><rule " OWN "/></ruleset>", E_FAIL},
    {"no engine attribute", u"<ruleset><rule><and/></rule></ruleset>", E_POINTER},
    {"engine attribute name is exact",
     u"<ruleset><rule Engine='{DF407668-EC52-4582-8C1D-"
     u"0C4D73E9530E}'><and/></rule></ruleset>",
     E_POINTER},
    {"another engine",
     u"<ruleset><rule engine='{9C8307FC-6D88-43CD-B7C0-8D0F0CBD35FD}'>"
     u"<and/></rule></ruleset>",
     E_NOTIMPL},
};

class RuleElementTable : public testing::TestWithParam<RuleCase> {};

TEST_P(RuleElementTable, GivesHresult) {
    const RuleCase& c = GetParam();
    NoMachine machine;
    RuleProvider provider(machine);
    const Bstr text = Bstr::Copy(c.xml);
    VARIANT_BOOL result = 0x5555;
    EXPECT_EQ(provider.EvaluateRules(text.Get(), &result), c.hr);
    EXPECT_EQ(result, c.hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE);
}

INSTANTIATE_TEST_SUITE_P(Documents, RuleElementTable, testing::ValuesIn(kRuleCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

} // namespace
} // namespace tarn::rules
