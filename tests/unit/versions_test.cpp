// Version texts, packed versions, version conditions and the comparison operators.
#include "rules/versions.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn::rules {
namespace {

constexpr PackedVersion V(std::uint64_t major, std::uint64_t minor, std::uint64_t build,
                          std::uint64_t revision) {
    return (major << 48) | (minor << 32) | (build << 16) | revision;
}

struct ParseCase {
    std::u16string text;
    PackedVersion packed;
};

TEST(ParseVersionString, PacksTextByTheQuirksOfTheParser) {
    const ParseCase cases[] = {
        {u"1.2.3.4", 0x0001000200030004ull},
        {u"1, 2 .3", V(1, 2, 3, 0)},
        {u" ., 1..2.", V(1, 2, 0, 0)},
        {u"1.2.3.4.x.y.z", V(1, 2, 3, 4)},
        {u"", 0},
        {u"v1.2", V(0, 2, 0, 0)},
        {u"2b.007.0x10.9z", V(2, 7, 0, 9)},
        {u"+7.--1.- 1", V(7, 0, 0, 1)},
        // Tab is no separator but white space before a number.
        {u"\t3.\t4", V(3, 4, 0, 0)},
        {u"1.2\t3", V(1, 2, 0, 0)},
        // Only ASCII digits count; the text ends at a NUL.
        {u"\uFF11.2", V(0, 2, 0, 0)},
        {std::u16string(u"1.2\0.3", 6), V(1, 2, 0, 0)},
        // Unmasked shifts: the minor's high bits land in the major, the major's are lost.
        {u"1.70000", 0x0001117000000000ull},
        {u"65537.0.65538.65537", V(1, 0, 3, 1)},
        // Signs and saturation in 32 bits.
        {u"0.0.0.-1", 0x00000000FFFFFFFFull},
        {u"0.-4294967295", V(0, 1, 0, 0)},
        {u"0.4294967296", 0xFFFFFFFF00000000ull},
        {u"0.-99999999999999999999999999", 0xFFFFFFFF00000000ull},
        {u"99999999999.0.0.1", V(0xFFFF, 0, 0, 1)},
        // Long texts stay within their first four tokens.
        {u"1." + std::u16string(64 * 1024, u'0') + u"5", V(1, 5, 0, 0)},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(ParseVersionString(c.text), c.packed) << Utf16ToUtf8(c.text.substr(0, 40));
    }
}

struct CompareCase {
    PackedVersion actual;
    PackedVersion reference;
    const char16_t* comparison;
    PackedVersion lower;
    HRESULT expected;
};

TEST(CompareVersions, EveryOperatorAtAndAroundItsBounds) {
    const PackedVersion two = V(2, 0, 0, 0);
    const PackedVersion below = V(1, 99, 99, 99);
    const PackedVersion above = V(2, 0, 0, 1);
    const CompareCase cases[] = {
        {below, two, u"LOWER", 0, S_OK},
        {two, two, u"LOWER", 0, S_FALSE},
        {above, two, u"LOWER", 0, S_FALSE},
        {below, two, u"LOWER_OR_SAME", 0, S_OK},
        {two, two, u"LOWER_OR_SAME", 0, S_OK},
        {above, two, u"LOWER_OR_SAME", 0, S_FALSE},
        {below, two, u"HIGHER_OR_SAME", 0, S_FALSE},
        {two, two, u"HIGHER_OR_SAME", 0, S_OK},
        {above, two, u"HIGHER_OR_SAME", 0, S_OK},
        {below, two, u"HIGHER", 0, S_FALSE},
        {two, two, u"HIGHER", 0, S_FALSE},
        {above, two, u"HIGHER", 0, S_OK},
        {below, two, u"SAME", 0, S_FALSE},
        {two, two, u"SAME", 0, S_OK},
        {above, two, u"SAME", 0, S_FALSE},
        // BETWEEN: lower <= actual <= reference.
        {below, two, u"BETWEEN", below, S_OK},
        {two, two, u"BETWEEN", below, S_OK},
        {above, two, u"BETWEEN", below, S_FALSE},
        {V(1, 0, 0, 0), two, u"BETWEEN", below, S_FALSE},
        {below, below, u"BETWEEN", two, S_FALSE},
        // Names fold A-Z only; order is unsigned across the top bit.
        {above, two, u"higher_or_same", 0, S_OK},
        {below, two, u"between", 0, S_OK},
        {0x8000000000000000ull, 0x7FFFFFFFFFFFFFFFull, u"HIGHER", 0, S_OK},
    };
    for (const CompareCase& c : cases) {
        EXPECT_EQ(CompareVersions(c.actual, c.reference, c.comparison, c.lower), c.expected)
            << Utf16ToUtf8(c.comparison) << " " << std::hex << c.actual << " " << c.reference << " "
            << c.lower;
    }
}

TEST(CompareVersions, AbsentComparisonIsInvalidArgumentWithoutRaising) {
    EXPECT_EQ(CompareVersions(1, 1, std::nullopt, 0), E_INVALIDARG);
}

TEST(CompareVersions, EmptyOrUnknownNamesRaiseNamingTheText) {
    const std::u16string names[] = {
        u"",
        u"HIGHER_OR_EQUAL",
        u"SAME ",
        u"\uFF33AME",
        u"H\u0131GHER" /* dotless i */,
        std::u16string(5000, u'X'),
    };
    for (const std::u16string& name : names) {
        try {
            CompareVersions(1, 1, name, 0);
            ADD_FAILURE() << "no raise for " << Utf16ToUtf8(name);
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), E_FAIL);
            const std::u16string expected =
                u"CompareVersions() Unknown comparison type : '" + name + u"'";
            EXPECT_EQ(e.Description(), expected) << Utf16ToUtf8(name.substr(0, 40));
        }
    }
}

struct ConditionCase {
    const char16_t* xml;
    bool present;
    std::optional<std::u16string> comparison;
    PackedVersion reference;
    PackedVersion lower;
};

TEST(ReadVersionCondition, ReadsTheThreeAttributes) {
    const ConditionCase cases[] = {
        {u"<e Comparison='SAME' version='1.2'/>", true, u"SAME", V(1, 2, 0, 0), 0},
        {u"<e Comparison='BETWEEN' version='2' versionLower='1.5'/>", true, u"BETWEEN",
         V(2, 0, 0, 0), V(1, 5, 0, 0)},
        {u"<e Comparison=' x ' version='abc'/>", true, u" x ", 0, 0},
        // No condition; the comparison text, once read, stays.
        {u"<e Comparison='SAME'/>", false, u"SAME", 0, 0},
        {u"<e Comparison='SAME' version='' versionLower='1'/>", false, u"SAME", 0, 0},
        // Attribute names are exact.
        {u"<e Comparison='SAME' Version='1'/>", false, u"SAME", 0, 0},
        {u"<e Comparison='SAME' version='1' versionlower='1'/>", true, u"SAME", V(1, 0, 0, 0), 0},
    };
    for (const ConditionCase& c : cases) {
        xml::CreateResult created = xml::TryCreateDocument();
        ASSERT_TRUE(created.document->LoadXml(c.xml));
        VersionCondition condition{std::nullopt, 0xDEAD, 0xBEEF};
        EXPECT_EQ(ReadVersionCondition(created.document->DocumentElement(), condition), c.present)
            << Utf16ToUtf8(c.xml);
        EXPECT_EQ(condition.comparison, c.comparison) << Utf16ToUtf8(c.xml);
        EXPECT_EQ(condition.reference, c.reference) << Utf16ToUtf8(c.xml);
        EXPECT_EQ(condition.lower, c.lower) << Utf16ToUtf8(c.xml);
    }
}

} // namespace
} // namespace tarn::rules
