// SRRegistry: a switchable wrapper around its first child expression. No registry value is
// read here; the child decides.
#include "rules/attributes.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/leaves.h"
#include "utility/log/comerror.h"

namespace tarn::rules {

Status EvaluateRegistry(RuleProvider& provider, const xml::Node& element) {
    // Lower-case `selected` here, unlike the file and shortcut tests.
    if (IsSwitchedOff(element, u"selected")) {
        return kHolds;
    }
    // The first child of any node type: a comment or text here reaches the dispatcher.
    const xml::Node child = element.FirstChild();
    if (!child) {
        RaiseComError(E_FAIL, u"Expression node 'SRRegistry' has no child expression node!");
    }
    return provider.EvaluateExpressionNode(child, false);
}

} // namespace tarn::rules
