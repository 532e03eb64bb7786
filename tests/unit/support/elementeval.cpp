#include "support/elementeval.h"

#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"

#include <stdexcept>

namespace tarn::test {

ElementOutcome EvaluateElement(Machine& machine, std::u16string_view xml) {
    xml::CreateResult created = xml::TryCreateDocument();
    if (FAILED(created.hr) || !created.document->LoadXml(xml)) {
        throw std::invalid_argument("test document is not well-formed");
    }
    rules::RuleProvider provider(machine);
    ElementOutcome outcome;
    try {
        outcome.status =
            provider.EvaluateExpressionNode(created.document->DocumentElement(), false);
    } catch (const _com_error& e) {
        outcome.raised = true;
        outcome.status = e.Error();
        outcome.description = e.Description();
    }
    return outcome;
}

} // namespace tarn::test
