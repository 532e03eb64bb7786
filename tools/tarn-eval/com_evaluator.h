// The Evaluator over a provider object created through COM, the way the agent creates it.
#pragma once

#include "evaluator.h"

#include "utility/platform/comptr.h"
#include "utility/platform/libraryhandle.h"

#include "inventoryruleagent.h"

#include <memory>
#include <string>

namespace tarn::eval {

class ComEvaluator final : public Evaluator {
public:
    // An object of the registered class, created in the calling thread's apartment.
    static HRESULT CreateRegistered(std::unique_ptr<ComEvaluator>& out);
    // An object of the class in the DLL at `path` (UTF-8), through the DLL's own
    // DllGetClassObject: nothing needs to be registered.
    static HRESULT CreateFromDll(const std::string& path, std::unique_ptr<ComEvaluator>& out);

    Evaluation Evaluate(std::u16string_view document) noexcept override;

private:
    ComEvaluator() = default;

    // Declared first, so that the object is released before its DLL is unloaded.
    LibraryHandle library_;
    ComPtr<IInventoryRuleProvider> provider_;
};

} // namespace tarn::eval
