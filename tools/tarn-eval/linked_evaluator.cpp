#include "linked_evaluator.h"

#include "utility/platform/bstr.h"

#include <new>

namespace tarn::eval {

Evaluation LinkedEvaluator::Evaluate(std::u16string_view document) noexcept {
    Evaluation evaluation;
    try {
        // The provider receives what the agent hands over: a BSTR with the whole text.
        const Bstr text = Bstr::Copy(document);
        evaluation.hr = provider_.EvaluateRules(text.Get(), &evaluation.result);
    } catch (const std::bad_alloc&) {
        evaluation.hr = E_OUTOFMEMORY;
    }
    return evaluation;
}

} // namespace tarn::eval
