#include "provider/typelibrary.h"

#include "rules/classid.h"
#include "utility/platform/registrykey.h"
#include "utility/text/format.h"

#include <string>

namespace tarn::provider {

namespace {

// Whether the library is registered for its own platform (the win32 or win64 entry). Asking
// for its path is not enough: a 64-bit process is answered from the win32 entry when that is
// the only one, and UnRegisterTypeLib then fails for the missing win64 one.
bool IsRegistered(const TLIBATTR& attr) {
    const char16_t* const platform = attr.syskind == SYS_WIN64   ? u"win64"
                                     : attr.syskind == SYS_WIN32 ? u"win32"
                                                                 : u"win16";
    const std::u16string key = FormatString(
        200, u"TypeLib\\%ls\\%x.%x\\%lx\\%ls", rules::FormatClassId(attr.guid), attr.wMajorVerNum,
        attr.wMinorVerNum, static_cast<unsigned long>(attr.lcid), platform);
    RegistryKey entry;
    return entry.Open(HKEY_CLASSES_ROOT, key.c_str(), KEY_QUERY_VALUE);
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
