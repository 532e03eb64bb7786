// Evaluations as the native tests run them: a whole rule document through the evaluate
// operation, or one expression element through the dispatcher with what a raise carries.
#pragma once

#include "machine/machine.h"
#include "utility/platform/wintypes.h"

#include <string>
#include <string_view>

namespace tarn::test {

// Preset into the result, which the provider never writes.
inline constexpr VARIANT_BOOL kUntouched = 0x5555;

struct DocumentOutcome {
    HRESULT hr;
    VARIANT_BOOL result; // kUntouched when the provider left it alone
};

DocumentOutcome EvaluateDocument(Machine& machine, std::u16string_view text);

struct ElementOutcome {
    HRESULT status = S_OK; // the evaluation status, or the HRESULT raised
    bool raised = false;
    std::u16string description; // of the raise
};

// `xml` is a document whose root element is the expression.
ElementOutcome EvaluateElement(Machine& machine, std::u16string_view xml, bool state = false);

} // namespace tarn::test
