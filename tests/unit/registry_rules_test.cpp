// SRRegistry: the lower-case off switch and the first child, whatever its node type.
#include "support/elementeval.h"
#include "support/fakemachine.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

// Building blocks with known statuses.
#define HOLDS u"<and/>"
#define FAILS u"<not><and/></not>"
#define RAISES u"<Foo/>"

constexpr char16_t kNoChild[] = u"Expression node 'SRRegistry' has no child expression node!";

struct RegistryCase {
    const char16_t* xml;
    HRESULT status;
    const char16_t* raised;
};

TEST(SRRegistry, SwitchAndFirstChild) {
    const RegistryCase cases[] = {
        // Switched off: holds without looking at the children.
        {u"<SRRegistry selected='false'/>", 0, u""},
        {u"<SRRegistry selected='FALSE'>" FAILS "</SRRegistry>", 0, u""},
        {u"<SRRegistry selected='fAlSe'>" RAISES "</SRRegistry>", 0, u""},
        // Only "FALSE" itself, ASCII letters folded, switches off.
        {u"<SRRegistry selected='FALSE '>" FAILS "</SRRegistry>", 1, u""},
        {u"<SRRegistry selected='0'>" FAILS "</SRRegistry>", 1, u""},
        {u"<SRRegistry selected='no'>" FAILS "</SRRegistry>", 1, u""},
        {u"<SRRegistry selected='\uFF26ALSE'>" FAILS "</SRRegistry>", 1, u""},
        {u"<SRRegistry selected=''/>", E_FAIL, kNoChild},
        {u"<SRRegistry selected='true'/>", E_FAIL, kNoChild},
        // The switch's name is lower-case and exact.
        {u"<SRRegistry Selected='FALSE'>" FAILS "</SRRegistry>", 1, u""},
        {u"<SRRegistry SELECTED='FALSE'/>", E_FAIL, kNoChild},
        // The first child decides; later ones are never evaluated.
        {u"<SRRegistry>" HOLDS "</SRRegistry>", 0, u""},
        {u"<SRRegistry>" FAILS "</SRRegistry>", 1, u""},
        {u"<SRRegistry><and>" HOLDS FAILS "</and>" RAISES "</SRRegistry>", 1, u""},
        {u"<SRRegistry>" HOLDS RAISES "</SRRegistry>", 0, u""},
        {u"<SRRegistry>" RAISES HOLDS "</SRRegistry>", E_FAIL, u"Unknown expression type: 'Foo'"},
        {u"<SRRegistry/>", E_FAIL, kNoChild},
        // The first child of any node type reaches the dispatcher.
        {u"<SRRegistry><!-- note -->" HOLDS "</SRRegistry>", E_FAIL,
         u"Unknown expression type: '#comment'"},
        {u"<SRRegistry>text" HOLDS "</SRRegistry>", E_FAIL, u"Unknown expression type: '#text'"},
        {u"<SRRegistry><?pi x?>" HOLDS "</SRRegistry>", E_FAIL, u"Unknown expression type: 'pi'"},
        // Whitespace between elements is no child.
        {u"<SRRegistry>\n  " HOLDS "\n</SRRegistry>", 0, u""},
        {u"<SRRegistry>\n  \n</SRRegistry>", E_FAIL, kNoChild},
        // The child runs without state: its `and` stops at the first child that fails.
        {u"<SRRegistry><and>" FAILS RAISES "</and></SRRegistry>", 1, u""},
        {u"<SRRegistry><ruleset type='State'><and>" FAILS RAISES "</and></ruleset></SRRegistry>",
         E_FAIL, u"Unknown expression type: 'Foo'"},
        // Element names fold A-Z.
        {u"<srregistry>" FAILS "</srregistry>", 1, u""},
        // The container holds when each wrapper holds or is switched off.
        {u"<SmartRegistryExpression><SRRegistry selected='false'/><SRRegistry>" HOLDS
         "</SRRegistry></SmartRegistryExpression>",
         0, u""},
        {u"<SmartRegistryExpression><SRRegistry selected='false'/><SRRegistry>" FAILS
         "</SRRegistry></SmartRegistryExpression>",
         1, u""},
    };
    for (const RegistryCase& c : cases) {
        FakeMachine machine;
        const ElementOutcome outcome = EvaluateElement(machine, c.xml);
        EXPECT_EQ(outcome.status, c.status) << Utf16ToUtf8(c.xml);
        EXPECT_EQ(Utf16ToUtf8(outcome.description), Utf16ToUtf8(c.raised)) << Utf16ToUtf8(c.xml);
    }
}

// A state-mode ruleset does not hand its state through the wrapper.
TEST(SRRegistry, StateStopsAtTheWrapper) {
    FakeMachine machine;
    const ElementOutcome outcome =
        EvaluateElement(machine, u"<ruleset type='State'><SRRegistry><and>" FAILS RAISES
                                 "</and></SRRegistry></ruleset>");
    EXPECT_EQ(outcome.status, 1) << Utf16ToUtf8(outcome.description);
}

} // namespace
} // namespace tarn::test
