#include "support/evaluation.h"

#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"
#include "utility/platform/bstr.h"

#include <stdexcept>

namespace tarn::test {

DocumentOutcome EvaluateDocument(Machine& machine, std::u16string_view text) {
    rules::RuleProvider provider(machine);
    const Bstr rule = Bstr::Copy(text);
    DocumentOutcome outcome{S_OK, kUntouched};
    outcome.hr = provider.EvaluateRules(rule.Get(), &outcome.result);
    return outcome;
}

ElementOutcome EvaluateElement(Machine& machine, std::u16string_view xml, bool state) {
    xml::CreateResult created = xml::TryCreateDocument();
    if (FAILED(created.hr) || !created.document->LoadXml(xml)) {
        throw std::invalid_argument("test document is not well-formed");
    }
    rules::RuleProvider provider(machine);
    ElementOutcome outcome;
    try {
        outcome.status =
            provider.EvaluateExpressionNode(created.document->DocumentElement(), state);
    } catch (const _com_error& e) {
        outcome.raised = true;
        outcome.status = e.Error();
        outcome.description = e.Description();
    }
    return outcome;
}

} // namespace tarn::test
