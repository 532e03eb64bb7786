// The module object: the module's lock count and lock, its class table (one class and its
// factory, created on first request and kept for the module's life), the type information
// that serves the class's IDispatch half, and registration.
#pragma once

#include "provider/criticalsection.h"
#include "utility/platform/comptr.h"

#include <windows.h>

#include <atomic>

namespace tarn::provider {

class CKpxTarnRuleProviderModule {
public:
    CKpxTarnRuleProviderModule() noexcept = default;
    CKpxTarnRuleProviderModule(const CKpxTarnRuleProviderModule&) = delete;
    CKpxTarnRuleProviderModule& operator=(const CKpxTarnRuleProviderModule&) = delete;

    // The load-time steps, at process attach; false fails the load.
    bool Initialize(HINSTANCE instance) noexcept;
    // At process detach. When the whole process ends, the other threads are gone and no other
    // module may be called: what is held is left as it is.
    void Terminate(bool processEnding) noexcept;

    // Live objects and factory locks hold the module.
    void Lock() noexcept { lockCount_.fetch_add(1, std::memory_order_relaxed); }
    void Unlock() noexcept { lockCount_.fetch_sub(1, std::memory_order_relaxed); }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;
    HRESULT CanUnloadNow() const noexcept {
        return lockCount_.load(std::memory_order_relaxed) == 0 ? S_OK : S_FALSE;
    }
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;

    // The type information of IInventoryRuleProvider found through the coclass of the
    // module's type library: its dispatch description and its virtual-table description.
    HRESULT ProviderTypeInfo(ComPtr<ITypeInfo>& dispatch, ComPtr<ITypeInfo>& vtable) noexcept;

private:
    HRESULT LoadProviderTypeInfo() noexcept;

    HINSTANCE instance_ = nullptr;
    bool initialized_ = false;
    std::atomic<long> lockCount_{0};
    CriticalSection lock_;
    ComPtr<IClassFactory> factory_;
    ComPtr<ITypeInfo> dispatchInfo_;
    ComPtr<ITypeInfo> vtableInfo_;
};

// The one module object of this DLL.
CKpxTarnRuleProviderModule& Module() noexcept;

} // namespace tarn::provider
