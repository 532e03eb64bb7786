#include "provider/classfactory.h"

#include "provider/kpxtarnruleprovider.h"
#include "provider/module.h"

#include <new>

namespace tarn::provider {

ComPtr<IClassFactory> CKpxTarnRuleProviderFactory::Create() noexcept {
    return ComPtr<IClassFactory>(new (std::nothrow) CKpxTarnRuleProviderFactory());
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProviderFactory::QueryInterface(REFIID iid,
                                                                      void** out) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CKpxTarnRuleProviderFactory::AddRef() noexcept {
    return references_.fetch_add(1) + 1;
}

ULONG STDMETHODCALLTYPE CKpxTarnRuleProviderFactory::Release() noexcept {
    const ULONG left = references_.fetch_sub(1) - 1;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProviderFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                                      void** out) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    // An aggregated object hands its outer object nothing but its own unknown.
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    return CKpxTarnRuleProvider::Create(outer, iid, out);
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProviderFactory::LockServer(BOOL lock) noexcept {
    if (lock) {
        Module().Lock();
    } else {
        Module().Unlock();
    }
    return S_OK;
}

} // namespace tarn::provider
