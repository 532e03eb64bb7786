// The class factory of CKpxTarnRuleProvider.
#pragma once

#include "utility/platform/comptr.h"

#include <unknwn.h>
#include <windows.h>

#include <atomic>

namespace tarn::provider {

class CKpxTarnRuleProviderFactory final : public IClassFactory {
public:
    // A new factory with one reference; empty when memory runs out.
    static ComPtr<IClassFactory> Create() noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** out) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

private:
    CKpxTarnRuleProviderFactory() noexcept = default;
    ~CKpxTarnRuleProviderFactory() = default;

    std::atomic<ULONG> references_{1};
};

} // namespace tarn::provider
