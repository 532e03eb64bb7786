// The stand-ins for the Windows runtime pieces that portable code calls: BSTRs in the Windows
// layout, error-information objects with the per-thread error slot, and the thread's
// last-error code.
#include "utility/platform/comptr.h"
#include "utility/platform/wintypes.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

const IID IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IErrorInfo{
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ICreateErrorInfo{
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
const IID IID_ISupportErrorInfo{
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace {

constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);

// A BSTR is preceded by its length in bytes (32 bits) and followed by a NUL character.
std::uint32_t* BstrHeader(BSTR text) {
    return reinterpret_cast<std::uint32_t*>(text) - 1;
}

BSTR AllocateBstr(UINT length) {
    const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
    if (bytes > 0xFFFFFFF0u) {
        return nullptr;
    }
    void* block = std::calloc(1, sizeof(std::uint32_t) + bytes + sizeof(OLECHAR));
    if (block == nullptr) {
        return nullptr;
    }
    auto* header = static_cast<std::uint32_t*>(block);
    *header = static_cast<std::uint32_t>(bytes);
    return reinterpret_cast<BSTR>(header + 1);
}

// Stored BSTR fields of an error-information object: null stays null.
HRESULT ReplaceText(BSTR& field, LPCOLESTR text) {
    BSTR copy = nullptr;
    if (text != nullptr) {
        copy = SysAllocString(text);
        if (copy == nullptr) {
            return E_OUTOFMEMORY;
        }
    }
    SysFreeString(field);
    field = copy;
    return S_OK;
}

HRESULT CopyText(BSTR field, BSTR* out) {
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    *out = nullptr;
    if (field == nullptr) {
        return S_OK;
    }
    *out = SysAllocStringLen(field, SysStringLen(field));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
            *out = static_cast<IErrorInfo*>(this);
        } else if (iid == IID_ICreateErrorInfo) {
            *out = static_cast<ICreateErrorInfo*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return references_.fetch_add(1) + 1; }
    ULONG Release() override {
        const ULONG left = references_.fetch_sub(1) - 1;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT GetGUID(GUID* guid) override {
        if (guid == nullptr) {
            return E_INVALIDARG;
        }
        *guid = guid_;
        return S_OK;
    }
    HRESULT GetSource(BSTR* source) override { return CopyText(source_, source); }
    HRESULT GetDescription(BSTR* description) override {
        return CopyText(description_, description);
    }
    HRESULT GetHelpFile(BSTR* helpFile) override { return CopyText(helpFile_, helpFile); }
    HRESULT GetHelpContext(DWORD* helpContext) override {
        if (helpContext == nullptr) {
            return E_INVALIDARG;
        }
        *helpContext = helpContext_;
        return S_OK;
    }

    HRESULT SetGUID(REFGUID guid) override {
        guid_ = guid;
        return S_OK;
    }
    HRESULT SetSource(LPOLESTR source) override { return ReplaceText(source_, source); }
    HRESULT SetDescription(LPOLESTR description) override {
        return ReplaceText(description_, description);
    }
    HRESULT SetHelpFile(LPOLESTR helpFile) override { return ReplaceText(helpFile_, helpFile); }
    HRESULT SetHelpContext(DWORD helpContext) override {
        helpContext_ = helpContext;
        return S_OK;
    }

private:
    ~ErrorInfo() {
        SysFreeString(source_);
        SysFreeString(description_);
        SysFreeString(helpFile_);
    }

    std::atomic<ULONG> references_{1};
    GUID guid_{};
    BSTR source_ = nullptr;
    BSTR description_ = nullptr;
    BSTR helpFile_ = nullptr;
    DWORD helpContext_ = 0;
};

thread_local tarn::ComPtr<IErrorInfo> threadErrorInfo;
thread_local DWORD threadLastError = 0;

} // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    UINT length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return SysAllocStringLen(text, length);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    BSTR copy = AllocateBstr(length);
    if (copy != nullptr && text != nullptr) {
        std::memcpy(copy, text, std::size_t{length} * sizeof(OLECHAR));
    }
    return copy;
}

void SysFreeString(BSTR text) {
    if (text != nullptr) {
        std::free(BstrHeader(text));
    }
}

UINT SysStringLen(BSTR text) {
    return text == nullptr ? 0 : *BstrHeader(text) / sizeof(OLECHAR);
}

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    auto* info = new (std::nothrow) ErrorInfo();
    *out = info;
    return info == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** out) {
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    *out = threadErrorInfo.Detach();
    return *out == nullptr ? S_FALSE : S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
    threadErrorInfo = tarn::ComPtr<IErrorInfo>::Share(info);
    return S_OK;
}

HRESULT ProgIDFromCLSID(REFCLSID, LPOLESTR* progId) {
    if (progId != nullptr) {
        *progId = nullptr;
    }
    return kClassNotRegistered;
}

void CoTaskMemFree(void* memory) {
    std::free(memory);
}

DWORD GetLastError() {
    return threadLastError;
}

void SetLastError(DWORD code) {
    threadLastError = code;
}
