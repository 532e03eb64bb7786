// The combinators beyond the answers that the corpus documents show: what their raises say,
// and nesting depth. (Null pointers are answered at the COM boundary: provider_object_test.)
#include "rules/kpxtarnruleproviderinterface.h"
#include "support/evaluation.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn::test {
namespace {

using rules::RuleProvider;

constexpr char16_t kNoRegistryChild[] =
    u"Expression node 'SRRegistry' has no child expression node!";

TEST(Combinators, RaisedFailuresCarryTheirDescriptions) {
    const struct {
        const char16_t* expression;
        const char16_t* description;
    } cases[] = {
        {u"<Foo/>", u"Unknown expression type: 'Foo'"},
        {u"<not/>", u"EvaluateExpressionNode() - expression has no child node"},
        {u"<not><!--c--></not>", u"Unknown expression type: '#comment'"},
        {u"<not>text</not>", u"Unknown expression type: '#text'"},
        {u"<ruleset/>", u"Expression node 'or' has no child expression nodes"},
        // SRRegistry: only "false" switches it off; its first child decides, whatever its
        // node type, and white space is no child.
        {u"<SRRegistry selected='true'/>", kNoRegistryChild},
        {u"<SRRegistry>\n  \n</SRRegistry>", kNoRegistryChild},
        {u"<SRRegistry><?pi x?><and/></SRRegistry>", u"Unknown expression type: 'pi'"},
    };
    for (const auto& c : cases) {
        Machine machine;
        const ElementOutcome outcome = EvaluateElement(machine, c.expression);
        EXPECT_TRUE(outcome.raised) << Utf16ToUtf8(c.expression);
        EXPECT_EQ(outcome.description, c.description);
    }
}

std::u16string NestedAnds(int levels) {
    std::u16string text = u"<ruleset>";
    for (int i = 0; i < levels; ++i) {
        text += u"<and>";
    }
    for (int i = 0; i < levels; ++i) {
        text += u"</and>";
    }
    return text + u"</ruleset>";
}

// The limit itself is in the corpus (nested-512-levels.xml, nested-513-levels.xml); far
// deeper documents fail the same way instead of exhausting the stack.
TEST(Nesting, FarDeeperDocumentsFailLikeOneLevelTooDeep) {
    Machine machine;
    const DocumentOutcome o = EvaluateDocument(machine, NestedAnds(100000));
    EXPECT_EQ(o.hr, RuleProvider::kNestingTooDeep);
    EXPECT_EQ(o.result, VARIANT_FALSE);
}

} // namespace
} // namespace tarn::test
