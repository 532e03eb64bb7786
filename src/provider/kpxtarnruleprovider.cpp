#include "provider/kpxtarnruleprovider.h"

#include "machine/machine.h"
#include "provider/identifiers.h"
#include "provider/module.h"

#include <new>

namespace tarn::provider {

HRESULT CKpxTarnRuleProvider::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    CKpxTarnRuleProvider* object = nullptr;
    try {
        object = new (std::nothrow) CKpxTarnRuleProvider(outer);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    // One reference of its own while it is made; giving it back destroys a failed object.
    object->inner_.AddRef();
    HRESULT hr = object->Construct();
    if (SUCCEEDED(hr)) {
        hr = object->inner_.QueryInterface(iid, out);
    }
    object->inner_.Release();
    return hr;
}

CKpxTarnRuleProvider::CKpxTarnRuleProvider(IUnknown* outer) noexcept
    : inner_(*this), controlling_(outer != nullptr ? outer : &inner_), provider_(LiveMachine()) {
    Module().Lock();
}

CKpxTarnRuleProvider::~CKpxTarnRuleProvider() {
    Module().Unlock();
}

HRESULT CKpxTarnRuleProvider::Construct() noexcept {
    return objectLock_.Initialize() ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::InnerUnknown::QueryInterface(REFIID iid,
                                                                             void** out) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    IUnknown* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        found = this;
    } else if (IsEqualIID(iid, kInventoryRuleProviderId) || IsEqualIID(iid, IID_IDispatch)) {
        found = static_cast<IInventoryRuleProvider*>(&owner_);
    } else if (IsEqualIID(iid, kObjectSafetyId)) {
        found = static_cast<IObjectSafety*>(&owner_);
    }
    *out = found;
    if (found == nullptr) {
        return E_NOINTERFACE;
    }
    // Through the interface, so that an aggregated object counts on its outer object.
    found->AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CKpxTarnRuleProvider::InnerUnknown::AddRef() noexcept {
    return owner_.references_.fetch_add(1) + 1;
}

ULONG STDMETHODCALLTYPE CKpxTarnRuleProvider::InnerUnknown::Release() noexcept {
    const ULONG left = owner_.references_.fetch_sub(1) - 1;
    if (left == 0) {
        delete &owner_;
    }
    return left;
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::QueryInterface(REFIID iid, void** out) noexcept {
    return controlling_->QueryInterface(iid, out);
}

ULONG STDMETHODCALLTYPE CKpxTarnRuleProvider::AddRef() noexcept {
    return controlling_->AddRef();
}

ULONG STDMETHODCALLTYPE CKpxTarnRuleProvider::Release() noexcept {
    return controlling_->Release();
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::GetTypeInfoCount(UINT* count) noexcept {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::GetTypeInfo(UINT index, LCID,
                                                            ITypeInfo** info) noexcept {
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    ComPtr<ITypeInfo> dispatch;
    ComPtr<ITypeInfo> vtable;
    const HRESULT hr = Module().ProviderTypeInfo(dispatch, vtable);
    if (SUCCEEDED(hr)) {
        *info = dispatch.Detach();
    }
    return hr;
}

namespace {

// Names and calls go through the type information of the interface's virtual table.
HRESULT VtableTypeInfo(ComPtr<ITypeInfo>& vtable) noexcept {
    ComPtr<ITypeInfo> dispatch;
    return Module().ProviderTypeInfo(dispatch, vtable);
}

} // namespace

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::GetIDsOfNames(REFIID iid, LPOLESTR* names,
                                                              UINT count, LCID,
                                                              DISPID* ids) noexcept {
    if (!IsEqualIID(iid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (count > 0 && (names == nullptr || ids == nullptr)) {
        return E_POINTER;
    }
    ComPtr<ITypeInfo> vtable;
    const HRESULT hr = VtableTypeInfo(vtable);
    return FAILED(hr) ? hr : vtable->GetIDsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::Invoke(DISPID member, REFIID iid, LCID, WORD flags,
                                                       DISPPARAMS* params, VARIANT* result,
                                                       EXCEPINFO* exception,
                                                       UINT* argumentError) noexcept {
    if (!IsEqualIID(iid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (params == nullptr) {
        return E_POINTER;
    }
    ComPtr<ITypeInfo> vtable;
    const HRESULT hr = VtableTypeInfo(vtable);
    return FAILED(hr) ? hr
                      : vtable->Invoke(static_cast<IInventoryRuleProvider*>(this), member, flags,
                                       params, result, exception, argumentError);
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::EvaluateRules(BSTR ruleXml,
                                                              VARIANT_BOOL* result) noexcept {
    return provider_.EvaluateRules(ruleXml, result);
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::Reserved() noexcept {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::GetInterfaceSafetyOptions(REFIID, DWORD* supported,
                                                                          DWORD* enabled) noexcept {
    if (supported == nullptr || enabled == nullptr) {
        return E_POINTER;
    }
    constexpr DWORD kSafe = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *supported = kSafe;
    *enabled = kSafe;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CKpxTarnRuleProvider::SetInterfaceSafetyOptions(REFIID, DWORD,
                                                                          DWORD) noexcept {
    return S_OK;
}

} // namespace tarn::provider
