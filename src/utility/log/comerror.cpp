#include "utility/log/comerror.h"

#include "utility/log/report.h"
#include "utility/log/systemmessage.h"
#include "utility/platform/comptr.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace {

constexpr std::size_t kFallbackChars = 32;

std::atomic<ComErrorRaiser> replacementRaiser{nullptr};

// The system's text without its final line end, or the fallback texts for codes it lacks.
std::u16string MessageFor(HRESULT hr) {
    std::u16string text =
        tarn::SystemMessageText(static_cast<std::uint32_t>(hr), tarn::kLanguageUserDefault);
    if (!text.empty()) {
        if (text.size() > 1 && text.back() == u'\n') {
            text.pop_back();
            if (!text.empty() && text.back() == u'\r') {
                text.pop_back();
            }
        }
        return text;
    }
    const auto code = static_cast<std::uint32_t>(hr);
    const std::uint32_t low = code & 0xFFFFu;
    if (code >= 0x80040200u && code <= 0x8004FFFFu && low != 0x0200u) {
        return tarn::FormatString(kFallbackChars, u"IDispatch error #%d",
                                  static_cast<int>(low) - 0x200);
    }
    return tarn::FormatString(kFallbackChars, u"Unknown error 0x%0lX", code);
}

char16_t* CopyOut(const std::u16string& text) noexcept {
    auto* copy = new (std::nothrow) char16_t[std::max(text.size() + 1, kFallbackChars)];
    if (copy != nullptr) {
        std::copy(text.begin(), text.end(), copy);
        copy[text.size()] = u'\0';
    }
    return copy;
}

// Raises `hr` with the error information that `info` holds (its reference goes to the
// thrown object). A replacement raiser sees the information borrowed.
[[noreturn]] void Issue(HRESULT hr, tarn::ComPtr<IErrorInfo> info) {
    if (const ComErrorRaiser raiser = replacementRaiser.load()) {
        raiser(hr, info.Get());
    }
    throw _com_error(hr, info.Detach());
}

} // namespace

_com_error::_com_error(HRESULT hr, IErrorInfo* info, bool addRef) noexcept
    : hr_(hr), errorInfo_(info) {
    if (addRef && errorInfo_ != nullptr) {
        errorInfo_->AddRef();
    }
}

_com_error::_com_error(const _com_error& other) noexcept
    : hr_(other.hr_), errorInfo_(other.errorInfo_) {
    if (errorInfo_ != nullptr) {
        errorInfo_->AddRef();
    }
}

_com_error::~_com_error() {
    if (errorInfo_ != nullptr) {
        errorInfo_->Release();
    }
    delete[] messageText_;
}

const char16_t* _com_error::ErrorMessage() const noexcept {
    if (messageText_ == nullptr) {
        try {
            messageText_ = CopyOut(MessageFor(hr_));
        } catch (...) {
            return nullptr;
        }
    }
    return messageText_;
}

std::u16string _com_error::Description() const {
    if (errorInfo_ == nullptr) {
        return {};
    }
    tarn::Bstr description;
    if (FAILED(errorInfo_->GetDescription(description.Out()))) {
        return {};
    }
    return description.String();
}

ComErrorRaiser SetComErrorRaiser(ComErrorRaiser raiser) noexcept {
    return replacementRaiser.exchange(raiser);
}

void IssueComError(HRESULT hr) {
    Issue(hr, {});
}

void IssueComErrorEx(HRESULT hr, IUnknown* object, REFIID iid) {
    tarn::ComPtr<IErrorInfo> info;
    if (object != nullptr) {
        tarn::ComPtr<ISupportErrorInfo> support;
        if (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, support.OutVoid())) &&
            support && support->InterfaceSupportsErrorInfo(iid) == S_OK) {
            if (GetErrorInfo(0, info.Out()) != S_OK) {
                info.Reset();
            }
        }
    }
    Issue(hr, std::move(info));
}

void RaiseComError(HRESULT hr, const char16_t* description, REFCLSID clsid, REFIID iid) {
    tarn::ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.Out())) || !create) {
        Issue(hr, {});
    }
    if (!IsEqualGUID(iid, GUID_NULL)) {
        create->SetGUID(iid);
    }
    if (!IsEqualGUID(clsid, GUID_NULL)) {
        LPOLESTR progId = nullptr;
        if (SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) && progId != nullptr) {
            create->SetSource(progId);
        }
        CoTaskMemFree(progId);
    }
    create->SetDescription(const_cast<LPOLESTR>(tarn::Ole(description)));
    tarn::ComPtr<IErrorInfo> info;
    if (FAILED(create->QueryInterface(IID_IErrorInfo, info.OutVoid()))) {
        info.Reset();
    }
    Issue(hr, std::move(info));
}

void RaiseComErrorWithCode(HRESULT hr, HRESULT code, const char16_t* message) {
    const tarn::Bstr description = FormatBstr(u"%ls %ls", message, _com_error(code).ErrorMessage());
    RaiseComError(hr, tarn::U16(description.Get()));
}

namespace tarn::report {

void RaiseFormatted(HRESULT hr, const char16_t* format, const FormatArg* args, std::size_t count) {
    char16_t text[kRaiseChars + 1];
    FormatInto(text, sizeof text / sizeof text[0], format, args, count);
    RaiseComError(hr, text);
}

Bstr FormatBstrFrom(const char16_t* format, const FormatArg* args, std::size_t count) {
    char16_t text[kRaiseChars];
    const std::size_t length = FormatInto(text, kRaiseChars, format, args, count);
    BSTR copy = SysAllocStringLen(Ole(text), static_cast<UINT>(length));
    if (copy == nullptr) {
        IssueComError(E_OUTOFMEMORY);
    }
    return Bstr(copy);
}

} // namespace tarn::report
