#include "com_evaluator.h"

#include "provider/identifiers.h"
#include "utility/platform/bstr.h"
#include "utility/text/strings.h"

#include <new>

namespace tarn::eval {

namespace {

using ClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

HRESULT CreateThroughDll(const LibraryHandle& library, ComPtr<IInventoryRuleProvider>& out) {
    const auto getClassObject = library.FindFunction<ClassObjectFunction>("DllGetClassObject");
    if (getClassObject == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    ComPtr<IClassFactory> factory;
    const HRESULT hr =
        getClassObject(provider::kProviderClassId, IID_IClassFactory, factory.OutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    return factory->CreateInstance(nullptr, provider::kInventoryRuleProviderId, out.OutVoid());
}

} // namespace

HRESULT ComEvaluator::CreateRegistered(std::unique_ptr<ComEvaluator>& out) {
    std::unique_ptr<ComEvaluator> evaluator(new ComEvaluator());
    const HRESULT hr =
        CoCreateInstance(provider::kProviderClassId, nullptr, CLSCTX_INPROC_SERVER,
                         provider::kInventoryRuleProviderId, evaluator->provider_.OutVoid());
    if (SUCCEEDED(hr)) {
        out = std::move(evaluator);
    }
    return hr;
}

HRESULT ComEvaluator::CreateFromDll(const std::string& path, std::unique_ptr<ComEvaluator>& out) {
    std::unique_ptr<ComEvaluator> evaluator(new ComEvaluator());
    if (!evaluator->library_.Load(Utf8ToUtf16(path).c_str())) {
        return LastErrorHresult();
    }
    const HRESULT hr = CreateThroughDll(evaluator->library_, evaluator->provider_);
    if (SUCCEEDED(hr)) {
        out = std::move(evaluator);
    }
    return hr;
}

Evaluation ComEvaluator::Evaluate(std::u16string_view document) noexcept {
    Evaluation evaluation;
    try {
        const Bstr text = Bstr::Copy(document);
        evaluation.hr = provider_->EvaluateRules(text.Get(), &evaluation.result);
    } catch (const std::bad_alloc&) {
        evaluation.hr = E_OUTOFMEMORY;
    }
    return evaluation;
}

} // namespace tarn::eval
