// SRRegistry: the lower-case off switch and the first child, whatever its node type.
#include "support/evaluation.h"
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
    const char16_t* raised;
};

// What it answers is in the corpus (registry-*.xml); here are its raises.
TEST(SRRegistry, RaisesNamingWhatItCannotEvaluate) {
    const RegistryCase cases[] = {
        // Only "false" (ASCII letters folded) under the lower-case name switches the test off.
        {u"<SRRegistry selected=''/>", kNoChild},
        {u"<SRRegistry selected='true'/>", kNoChild},
        {u"<SRRegistry SELECTED='FALSE'/>", kNoChild},
        // The first child decides, whatever its node type; whitespace is no child.
        {u"<SRRegistry/>", kNoChild},
        {u"<SRRegistry>\n  \n</SRRegistry>", kNoChild},
        {u"<SRRegistry>" RAISES HOLDS "</SRRegistry>", u"Unknown expression type: 'Foo'"},
        {u"<SRRegistry><!-- note -->" HOLDS "</SRRegistry>",
         u"Unknown expression type: '#comment'"},
        {u"<SRRegistry>text" HOLDS "</SRRegistry>", u"Unknown expression type: '#text'"},
        {u"<SRRegistry><?pi x?>" HOLDS "</SRRegistry>", u"Unknown expression type: 'pi'"},
        // A nested ruleset under it works out its own state.
        {u"<SRRegistry><ruleset type='State'><and>" FAILS RAISES "</and></ruleset></SRRegistry>",
         u"Unknown expression type: 'Foo'"},
    };
    for (const RegistryCase& c : cases) {
        FakeMachine machine;
        const ElementOutcome outcome = EvaluateElement(machine, c.xml);
        EXPECT_EQ(outcome.status, E_FAIL) << Utf16ToUtf8(c.xml);
        EXPECT_EQ(Utf16ToUtf8(outcome.description), Utf16ToUtf8(c.raised)) << Utf16ToUtf8(c.xml);
    }
}

} // namespace
} // namespace tarn::test
