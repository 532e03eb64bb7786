#include "provider/typelibrary.h"

namespace tarn::provider {

namespace {

bool IsRegistered(const TLIBATTR& attr) {
    BSTR registeredPath = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid,
                                     &registeredPath))) {
        return false;
    }
    SysFreeString(registeredPath);
    return true;
}

} // namespace

HRESULT RegisterTypeLibrary(ITypeLib* library, const wchar_t* path) {
    // The platform's declaration takes the path as writable; it is only read.
    return RegisterTypeLib(library, const_cast<OLECHAR*>(path), nullptr);
}

HRESULT UnregisterTypeLibrary(ITypeLib* library) {
    TLIBATTR* attr = nullptr;
    HRESULT hr = library->GetLibAttr(&attr);
    if (FAILED(hr)) {
        return hr;
    }
    // The platform answers E_INVALIDARG for a library that is not registered, so ask first.
    if (IsRegistered(*attr)) {
        hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                               attr->syskind);
    }
    library->ReleaseTLibAttr(attr);
    return hr;
}

} // namespace tarn::provider
