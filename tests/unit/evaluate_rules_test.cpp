// The evaluate operation and the combinators, over documents whose leaves need no machine:
// <and/> holds, <not><and/></not> does not, and an unknown element raises.
#include "rules/kpxtarnruleproviderinterface.h"
#include "utility/log/comerror.h"
#include "utility/platform/bstr.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn::rules {
namespace {

class NoMachine final : public Machine {};

constexpr VARIANT_BOOL kUntouched = 0x5555;

struct Outcome {
    HRESULT hr;
    VARIANT_BOOL result;
};

Outcome Evaluate(std::u16string_view xml) {
    NoMachine machine;
    RuleProvider provider(machine);
    const Bstr text = Bstr::Copy(xml);
    VARIANT_BOOL result = kUntouched;
    const HRESULT hr = provider.EvaluateRules(text.Get(), &result);
    return {hr, result};
}

std::string Show(VARIANT_BOOL v) {
    return v == VARIANT_TRUE    ? "TRUE"
           : v == VARIANT_FALSE ? "FALSE"
           : v == kUntouched    ? "UNSET"
                                : "?";
}

// Building blocks, each with a known status.
#define HOLDS u"<and/>"
#define FAILS u"<not><and/></not>"
#define RAISES u"<Foo/>"

struct EvaluateCase {
    const char* name;
    const char16_t* xml;
    HRESULT hr;
    VARIANT_BOOL result;
};

const EvaluateCase kEvaluateCases[] = {
    // The document and its ruleset.
    {"holds", u"<ruleset>" HOLDS "</ruleset>", S_OK, VARIANT_TRUE},
    {"does not hold", u"<ruleset>" FAILS "</ruleset>", S_FALSE, VARIANT_FALSE},
    {"ruleset deeper down", u"<doc><x/><ruleset>" HOLDS "</ruleset></doc>", S_OK, VARIANT_TRUE},
    {"second ruleset ignored",
     u"<doc><ruleset>" FAILS "</ruleset><ruleset>" HOLDS "</ruleset></doc>", S_FALSE,
     VARIANT_FALSE},
    {"no ruleset", u"<Ruleset>" HOLDS "</Ruleset>", E_FAIL, VARIANT_FALSE},
    {"empty ruleset", u"<ruleset/>", E_FAIL, VARIANT_FALSE},
    {"whitespace only", u"<ruleset>\n  \n</ruleset>", E_FAIL, VARIANT_FALSE},
    {"comment skipped", u"<ruleset><!-- x -->" HOLDS "</ruleset>", S_OK, VARIANT_TRUE},
    {"only comments", u"<ruleset><!-- x --></ruleset>", S_OK, kUntouched},
    {"first expression only", u"<ruleset>" HOLDS RAISES "</ruleset>", S_OK, VARIANT_TRUE},
    {"unknown expression", u"<ruleset>" RAISES "</ruleset>", E_FAIL, VARIANT_FALSE},
    {"text first", u"<ruleset>text" HOLDS "</ruleset>", E_FAIL, VARIANT_FALSE},
    {"cdata first", u"<ruleset><![CDATA[x]]>" HOLDS "</ruleset>", E_FAIL, VARIANT_FALSE},
    {"instruction first", u"<ruleset><?pi x?>" HOLDS "</ruleset>", E_FAIL, VARIANT_FALSE},
    {"not xml", u"this is not xml", E_FAIL, VARIANT_FALSE},
    {"empty text", u"", E_FAIL, VARIANT_FALSE},
    {"unclosed", u"<ruleset><and>", E_FAIL, VARIANT_FALSE},
    // Prerequisites.
    {"prereqs not met short-cut", u"<ruleset><Prereqs>" FAILS "</Prereqs>" RAISES "</ruleset>",
     S_OK, VARIANT_TRUE},
    {"prereqs met, expression fails", u"<ruleset><Prereqs>" HOLDS "</Prereqs>" FAILS "</ruleset>",
     S_FALSE, VARIANT_FALSE},
    {"prereqs after expression", u"<ruleset>" FAILS "<Prereqs>" FAILS "</Prereqs></ruleset>", S_OK,
     VARIANT_TRUE},
    {"only prereqs, met", u"<ruleset><Prereqs>" HOLDS "</Prereqs></ruleset>", S_OK, kUntouched},
    {"second Prereqs ignored",
     u"<ruleset><Prereqs/><Prereqs>" FAILS "</Prereqs>" HOLDS "</ruleset>", S_OK, VARIANT_TRUE},
    {"prereqs lower case is the expression",
     u"<ruleset><prereqs>" FAILS "</prereqs>" HOLDS "</ruleset>", S_FALSE, VARIANT_FALSE},
    {"prereqs raising", u"<ruleset><Prereqs>" RAISES "</Prereqs>" HOLDS "</ruleset>", E_FAIL,
     VARIANT_FALSE},
    // State mode.
    {"state: and runs every child", u"<ruleset type='State'><and>" FAILS RAISES "</and></ruleset>",
     E_FAIL, VARIANT_FALSE},
    {"lower-case state is not state",
     u"<ruleset type='state'><and>" FAILS RAISES "</and></ruleset>", S_FALSE, VARIANT_FALSE},
    {"padded State is not state", u"<ruleset type=' State'><and>" FAILS RAISES "</and></ruleset>",
     S_FALSE, VARIANT_FALSE},
    {"State attribute name is exact",
     u"<ruleset Type='State'><and>" FAILS RAISES "</and></ruleset>", S_FALSE, VARIANT_FALSE},
};

class EvaluateRulesTable : public testing::TestWithParam<EvaluateCase> {};

TEST_P(EvaluateRulesTable, GivesHresultAndResult) {
    const EvaluateCase& c = GetParam();
    const Outcome o = Evaluate(c.xml);
    EXPECT_EQ(o.hr, c.hr) << std::hex << o.hr;
    EXPECT_EQ(Show(o.result), Show(c.result));
}

INSTANTIATE_TEST_SUITE_P(Documents, EvaluateRulesTable, testing::ValuesIn(kEvaluateCases),
                         [](const auto& info) {
                             std::string name;
                             for (const char ch : std::string(info.param.name)) {
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

struct ExpressionCase {
    const char* name;
    const char16_t* expression;
    HRESULT hr; // status of the expression, or the raised HRESULT
};

const ExpressionCase kExpressionCases[] = {
    {"and empty", u"<and/>", 0},
    {"or empty", u"<or/>", 0},
    {"or comment only", u"<or><!--c--></or>", 1},
    {"and comment only", u"<and><!--c--></and>", 0},
    {"and 1 0 1 stops at first", u"<and>" FAILS HOLDS RAISES "</and>", 1},
    {"and all hold", u"<and>" HOLDS HOLDS "</and>", 0},
    {"or 1 0", u"<or>" FAILS HOLDS "</or>", 0},
    {"or 1 1", u"<or>" FAILS FAILS "</or>", 1},
    {"or 0 then raising never evaluated", u"<or>" HOLDS RAISES "</or>", 0},
    {"or raising", u"<or>" FAILS RAISES "</or>", E_FAIL},
    {"Prereqs 1 0", u"<Prereqs>" FAILS HOLDS "</Prereqs>", 1},
    {"Prereqs 0 0", u"<Prereqs>" HOLDS HOLDS "</Prereqs>", 0},
    {"Prereqs evaluates every child", u"<Prereqs>" FAILS RAISES "</Prereqs>", E_FAIL},
    {"not 0", u"<not>" HOLDS "</not>", 1},
    {"not 1", u"<not>" FAILS "</not>", 0},
    {"not ignores later children", u"<not>" HOLDS RAISES "</not>", 1},
    {"not without child", u"<not/>", E_FAIL},
    {"not over comment", u"<not><!--c-->" HOLDS "</not>", E_FAIL},
    {"Prereq passes status", u"<Prereq Guid='{x}'>" FAILS "</Prereq>", 1},
    {"Prereq without child", u"<Prereq/>", E_FAIL},
    {"case folded AND", u"<AND>" FAILS "</AND>", 1},
    {"case folded Or", u"<Or>" HOLDS "</Or>", 0},
    {"SmartFileExpression empty", u"<SmartFileExpression/>", 0},
    {"SmartRegistryExpression is and",
     u"<SmartRegistryExpression>" HOLDS FAILS "</SmartRegistryExpression>", 1},
    {"SmartTargetsOfShortcuts is and",
     u"<smarttargetsofshortcuts>" HOLDS "</smarttargetsofshortcuts>", 0},
    {"unknown", u"<Foo/>", E_FAIL},
    {"only A-Z are folded", u"<SmartF\u0130leExpression/>", E_FAIL},
    {"nested ruleset", u"<ruleset>" FAILS "</ruleset>", 1},
    {"nested ruleset without expression", u"<ruleset><!--c--></ruleset>", 1},
    {"nested ruleset empty raises", u"<ruleset/>", E_FAIL},
    {"nested ruleset prereqs not met", u"<ruleset><Prereqs>" FAILS "</Prereqs>" RAISES "</ruleset>",
     0},
    {"nested ruleset own state",
     u"<and><ruleset type='State'><and>" FAILS RAISES "</and></ruleset></and>", E_FAIL},
};

// Evaluates one expression element on its own, with `state`.
HRESULT EvaluateExpression(std::u16string_view expression, bool state) {
    NoMachine machine;
    RuleProvider provider(machine);
    xml::CreateResult created = xml::TryCreateDocument();
    EXPECT_EQ(created.hr, S_OK);
    EXPECT_TRUE(created.document->LoadXml(expression));
    try {
        return provider.EvaluateExpressionNode(created.document->DocumentElement(), state);
    } catch (const _com_error& e) {
        return e.Error();
    }
}

class ExpressionTable : public testing::TestWithParam<ExpressionCase> {};

TEST_P(ExpressionTable, GivesStatus) {
    const ExpressionCase& c = GetParam();
    EXPECT_EQ(EvaluateExpression(c.expression, false), c.hr);
}

INSTANTIATE_TEST_SUITE_P(Combinators, ExpressionTable, testing::ValuesIn(kExpressionCases),
                         [](const auto& info) {
                             std::string name;
                             for (const char ch : std::string(info.param.name)) {
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

TEST(StateFlag, AndReturnsLastFailureAndRunsEveryChild) {
    EXPECT_EQ(EvaluateExpression(u"<and>" FAILS HOLDS FAILS "</and>", true), 1);
    EXPECT_EQ(EvaluateExpression(u"<and>" FAILS RAISES "</and>", false), 1);
    EXPECT_EQ(EvaluateExpression(u"<and>" FAILS RAISES "</and>", true), E_FAIL);
    EXPECT_EQ(EvaluateExpression(u"<and>" HOLDS HOLDS "</and>", true), 0);
    // A nested ruleset works out its own state.
    EXPECT_EQ(EvaluateExpression(u"<ruleset><and>" FAILS RAISES "</and></ruleset>", true), 1);
}

// The description that a raise carries, for an expression evaluated on its own.
std::u16string RaisedDescription(std::u16string_view expression) {
    NoMachine machine;
    RuleProvider provider(machine);
    xml::CreateResult created = xml::TryCreateDocument();
    EXPECT_TRUE(created.document->LoadXml(expression));
    try {
        provider.EvaluateExpressionNode(created.document->DocumentElement(), false);
    } catch (const _com_error& e) {
        return e.Description();
    }
    return u"(nothing raised)";
}

TEST(RaisedFailures, CarryTheirDescriptions) {
    EXPECT_EQ(RaisedDescription(u"<Foo/>"), u"Unknown expression type: 'Foo'");
    EXPECT_EQ(RaisedDescription(u"<not/>"),
              u"EvaluateExpressionNode() - expression has no child node");
    EXPECT_EQ(RaisedDescription(u"<not><!--c--></not>"), u"Unknown expression type: '#comment'");
    EXPECT_EQ(RaisedDescription(u"<not>text</not>"), u"Unknown expression type: '#text'");
    EXPECT_EQ(RaisedDescription(u"<ruleset/>"),
              u"Expression node 'or' has no child expression nodes");
}

TEST(EvaluateRules, NullPointersAreAnswered) {
    NoMachine machine;
    RuleProvider provider(machine);
    VARIANT_BOOL result = kUntouched;
    EXPECT_EQ(provider.EvaluateRules(nullptr, &result), E_FAIL);
    EXPECT_EQ(result, VARIANT_FALSE);
    const Bstr text = Bstr::Copy(u"<ruleset><and/></ruleset>");
    EXPECT_EQ(provider.EvaluateRules(text.Get(), nullptr), E_POINTER);
}

std::u16string Nested(int levels, std::u16string_view open, std::u16string_view close,
                      std::u16string_view leaf) {
    std::u16string text;
    text.reserve((open.size() + close.size()) * levels + leaf.size());
    for (int i = 0; i < levels; ++i) {
        text += open;
    }
    text += leaf;
    for (int i = 0; i < levels; ++i) {
        text += close;
    }
    return text;
}

TEST(Nesting, DeepDocumentsEvaluateUpToTheLimit) {
    const int deepest = RuleProvider::kMaxNestingDepth - 1; // the ruleset's expression is level 1
    EXPECT_EQ(Evaluate(u"<ruleset>" + Nested(256, u"<and>", u"</and>", HOLDS) + u"</ruleset>").hr,
              S_OK);
    EXPECT_EQ(Evaluate(u"<ruleset>" + Nested(255, u"<not>", u"</not>", HOLDS) + u"</ruleset>").hr,
              S_FALSE);
    EXPECT_EQ(Evaluate(u"<ruleset>" + Nested(deepest, u"<and>", u"</and>", u"") + u"</ruleset>").hr,
              S_OK);
}

TEST(Nesting, TooDeepFailsWithoutExhaustingTheStack) {
    for (const int levels : {RuleProvider::kMaxNestingDepth + 1, 100000}) {
        const Outcome o =
            Evaluate(u"<ruleset>" + Nested(levels, u"<and>", u"</and>", u"") + u"</ruleset>");
        EXPECT_EQ(o.hr, RuleProvider::kNestingTooDeep) << levels;
        EXPECT_EQ(o.result, VARIANT_FALSE);
    }
}

} // namespace
} // namespace tarn::rules
