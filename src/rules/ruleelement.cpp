// The rule element: its content judged by the rule engine that its class ID names.
#include "rules/classid.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/leaves.h"
#include "utility/log/comerror.h"

namespace tarn::rules {

Status EvaluateRuleElement(RuleProvider& provider, const xml::Node& element, bool state) {
    const xml::Node engine = element.Attribute(u"engine");
    if (!engine) {
        IssueComError(E_POINTER);
    }
    // This provider's own rules need no engine: the content is an expression of this document.
    if (ParseClassId(engine.TypedValueText()) == kProviderClassId) {
        return provider.EvaluateExpressionNode(element.FirstChild(), state);
    }
    // Other engines are not part of this build yet: fail clearly instead of guessing.
    RaiseComErrorFormat(E_NOTIMPL, u"Expression type '%ws' is not supported by this build",
                        element.Name());
}

} // namespace tarn::rules
