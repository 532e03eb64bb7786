#include "provider/typeinfo.h"

#include "provider/identifiers.h"

#include <oleauto.h>

namespace tarn::provider {

namespace {

// Releases a type attribute record with the type information it came from.
class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo* info) noexcept : info_(info) {}
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    ~TypeAttr() {
        if (attr_ != nullptr) {
            info_->ReleaseTypeAttr(attr_);
        }
    }
    HRESULT Load() noexcept { return info_->GetTypeAttr(&attr_); }
    const TYPEATTR* operator->() const noexcept { return attr_; }

private:
    ITypeInfo* info_;
    TYPEATTR* attr_ = nullptr;
};

HRESULT ImplementedType(ITypeInfo* info, UINT index, ComPtr<ITypeInfo>& out) noexcept {
    HREFTYPE reference = 0;
    const HRESULT hr = info->GetRefTypeOfImplType(index, &reference);
    if (FAILED(hr)) {
        return hr;
    }
    return info->GetRefTypeInfo(reference, out.Out());
}

HRESULT DefaultInterfaceOfClass(ITypeLib* library, ComPtr<ITypeInfo>& out) noexcept {
    ComPtr<ITypeInfo> coclass;
    const HRESULT hr = library->GetTypeInfoOfGuid(kProviderClassId, coclass.Out());
    if (FAILED(hr)) {
        return hr;
    }
    return ImplementedType(coclass.Get(), 0, out);
}

} // namespace

HRESULT ResolveProviderTypeInfo(const std::u16string& modulePath, ComPtr<ITypeInfo>& dispatch,
                                ComPtr<ITypeInfo>& vtable) noexcept {
    ComPtr<ITypeLib> library;
    HRESULT hr =
        LoadTypeLibEx(reinterpret_cast<LPCOLESTR>(modulePath.c_str()), REGKIND_NONE, library.Out());
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeInfo> found;
    hr = DefaultInterfaceOfClass(library.Get(), found);
    if (FAILED(hr)) {
        return hr;
    }
    TypeAttr attr(found.Get());
    hr = attr.Load();
    if (FAILED(hr)) {
        return hr;
    }
    if (!IsEqualGUID(attr->guid, kInventoryRuleProviderId)) {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    ComPtr<ITypeInfo> table = found;
    if (attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0) {
        // The dual interface's other half; -1 names it.
        hr = ImplementedType(found.Get(), static_cast<UINT>(-1), table);
        if (FAILED(hr)) {
            return hr;
        }
    }
    dispatch = found;
    vtable = table;
    return S_OK;
}

} // namespace tarn::provider
