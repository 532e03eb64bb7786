// Evaluates one expression element through the provider's dispatcher, as a leaf test meets
// it, and keeps what a raise carries.
#pragma once

#include "machine/machine.h"
#include "utility/platform/wintypes.h"

#include <string>
#include <string_view>

namespace tarn::test {

struct ElementOutcome {
    HRESULT status = S_OK; // the evaluation status, or the HRESULT raised
    bool raised = false;
    std::u16string description; // of the raise
};

// `xml` is a document whose root element is the expression.
ElementOutcome EvaluateElement(Machine& machine, std::u16string_view xml);

} // namespace tarn::test
