// CKpxTarnRuleProvider: the COM object that the agent creates. It forwards the evaluate method
// to a rule provider over the live machine, serves its IDispatch half from the type library,
// answers IObjectSafety, and can be aggregated.
#pragma once

#include "provider/criticalsection.h"
#include "rules/kpxtarnruleproviderinterface.h"

#include "inventoryruleagent.h"

#include <objsafe.h>
#include <windows.h>

#include <atomic>

namespace tarn::provider {

// IObjectSafety is the first base, so the object's address is its IObjectSafety pointer.
class CKpxTarnRuleProvider final : public IObjectSafety, public IInventoryRuleProvider {
public:
    // Creates an object, aggregated by `outer` when it is given, and asks it for `iid`.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    // IUnknown of both interfaces: delegates to the controlling unknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IDispatch, from the type information of IInventoryRuleProvider.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale,
                                          ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) noexcept override;

    // IInventoryRuleProvider.
    HRESULT STDMETHODCALLTYPE EvaluateRules(BSTR ruleXml, VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE Reserved() noexcept override;

    // IObjectSafety: every interface is safe for untrusted callers and data.
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                        DWORD* enabled) noexcept override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                        DWORD enabled) noexcept override;

private:
    // The non-delegating unknown: the object's identity and reference count.
    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(CKpxTarnRuleProvider& owner) noexcept : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override;
        ULONG STDMETHODCALLTYPE Release() noexcept override;

    private:
        CKpxTarnRuleProvider& owner_;
    };

    explicit CKpxTarnRuleProvider(IUnknown* outer) noexcept;
    ~CKpxTarnRuleProvider();

    HRESULT Construct() noexcept;

    InnerUnknown inner_;
    IUnknown* controlling_;
    std::atomic<ULONG> references_{0};
    // Part of every object; nothing in this component takes it.
    CriticalSection objectLock_;
    rules::RuleProvider provider_;
};

} // namespace tarn::provider
