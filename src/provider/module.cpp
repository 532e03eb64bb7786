#include "provider/module.h"

#include "provider/classfactory.h"
#include "provider/identifiers.h"
#include "provider/modulefile.h"
#include "provider/registration.h"
#include "provider/typeinfo.h"
#include "utility/platform/osdetector.h"
#include "utility/platform/tempdirectory.h"

namespace tarn::provider {

bool CKpxTarnRuleProviderModule::Initialize(HINSTANCE instance) noexcept {
    instance_ = instance;
    // Never fails the load.
    paths::PrepareTemporaryDirectory();
    try {
        CheckPlatformAtLoad();
    } catch (...) {
        return false;
    }
    initialized_ = lock_.Initialize();
    return initialized_;
}

void CKpxTarnRuleProviderModule::Terminate(bool processEnding) noexcept {
    if (processEnding) {
        factory_.Detach();
        dispatchInfo_.Detach();
        vtableInfo_.Detach();
        return;
    }
    factory_.Reset();
    dispatchInfo_.Reset();
    vtableInfo_.Reset();
}

HRESULT CKpxTarnRuleProviderModule::GetClassObject(REFCLSID clsid, REFIID iid,
                                                   void** out) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!initialized_) {
        return E_UNEXPECTED;
    }
    if (!IsEqualCLSID(clsid, kProviderClassId)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    ComPtr<IClassFactory> factory;
    {
        const CriticalSectionScope locked(lock_);
        if (!factory_) {
            factory_ = CKpxTarnRuleProviderFactory::Create();
        }
        factory = factory_;
    }
    if (!factory) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = factory->QueryInterface(iid, out);
    if (*out == nullptr && hr == S_OK) {
        hr = CLASS_E_CLASSNOTAVAILABLE;
    }
    return hr;
}

HRESULT CKpxTarnRuleProviderModule::RegisterServer() noexcept {
    return initialized_ ? provider::RegisterServer(instance_) : E_UNEXPECTED;
}

HRESULT CKpxTarnRuleProviderModule::UnregisterServer() noexcept {
    return initialized_ ? provider::UnregisterServer(instance_) : E_UNEXPECTED;
}

HRESULT CKpxTarnRuleProviderModule::ProviderTypeInfo(ComPtr<ITypeInfo>& dispatch,
                                                     ComPtr<ITypeInfo>& vtable) noexcept {
    const CriticalSectionScope locked(lock_);
    if (!dispatchInfo_) {
        // A failure is not kept: the agent's library may be registered by the next call.
        const HRESULT hr = LoadProviderTypeInfo();
        if (FAILED(hr)) {
            return hr;
        }
    }
    dispatch = dispatchInfo_;
    vtable = vtableInfo_;
    return S_OK;
}

HRESULT CKpxTarnRuleProviderModule::LoadProviderTypeInfo() noexcept {
    try {
        std::u16string path;
        LiveModuleFile module(instance_);
        const HRESULT hr = module.Path(path);
        if (FAILED(hr)) {
            return hr;
        }
        return ResolveProviderTypeInfo(path, dispatchInfo_, vtableInfo_);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

CKpxTarnRuleProviderModule& Module() noexcept {
    static CKpxTarnRuleProviderModule module;
    return module;
}

} // namespace tarn::provider
