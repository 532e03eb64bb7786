// The rule element: its content judged by the rule engine that its class ID names.
#include "rules/classid.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/leaves.h"
#include "utility/log/comerror.h"
#include "utility/log/report.h"

namespace tarn::rules {

Status EvaluateRuleElement(RuleProvider& provider, const xml::Node& element, bool state) {
    const xml::Node engine = element.Attribute(u"engine");
    if (!engine) {
        IssueComError(E_POINTER);
    }
    const std::u16string engineText = engine.TypedValueText();
    // This provider's own rules need no engine: the content is an expression of this document.
    if (ParseClassId(engineText) == kProviderClassId) {
        return provider.EvaluateExpressionNode(element.FirstChild(), state);
    }
    try {
        const xml::Node content = element.FirstChild();
        if (!content) {
            IssueComError(E_POINTER);
        }
        std::u16string errorText;
        return provider.engines().EvaluateRule(u"No Rule Guid", engineText, content.Xml(),
                                               errorText);
    } catch (...) {
        CEReportEvent(CE_SEVERITY_WARNING, u"CKpxTarnRuleProvider",
                      u"ProviderCache EvaluateRule() failed.");
        return kDoesNotHold;
    }
}

} // namespace tarn::rules
