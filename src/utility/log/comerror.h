// The failure that travels through a rule evaluation: an HRESULT with optional COM error
// information, and the routines that raise it.
#pragma once

#include "utility/platform/bstr.h"
#include "utility/platform/wintypes.h"
#include "utility/text/format.h"

#include <string>

namespace tarn {
// A bare status code, as FAILED_THROW throws it. One distinct type on every platform, so that
// a throw and its catch cannot disagree about an integer type (HRESULT is long on Windows and
// int32_t elsewhere, and a catch of one does not see a throw of the other).
struct BareStatus {
    HRESULT code;
};
} // namespace tarn

// Thrown by value. Owns one reference to its error information and its cached text.
class _com_error {
public:
    explicit _com_error(HRESULT hr) noexcept : hr_(hr) {}
    // Stores `info`; takes a reference of its own only when `addRef` is set.
    _com_error(HRESULT hr, IErrorInfo* info, bool addRef = false) noexcept;
    _com_error(const _com_error& other) noexcept;
    _com_error& operator=(const _com_error&) = delete;
    virtual ~_com_error();

    HRESULT Error() const noexcept { return hr_; }
    // Borrowed; null when the failure carries no error information.
    IErrorInfo* ErrorInfo() const noexcept { return errorInfo_; }
    // The text of the HRESULT (the system's, else "IDispatch error #n" / "Unknown error 0x..."),
    // computed on first use and owned by this object; null only when memory ran out.
    const char16_t* ErrorMessage() const noexcept;
    // The description of the attached error information; empty when there is none.
    std::u16string Description() const;

private:
    HRESULT hr_;
    IErrorInfo* errorInfo_ = nullptr;
    mutable char16_t* messageText_ = nullptr;
};

// The one function through which every _com_error is raised; the default throws it by value.
// A replacement that returns is followed by the default throw.
using ComErrorRaiser = void (*)(HRESULT hr, IErrorInfo* info);
ComErrorRaiser SetComErrorRaiser(ComErrorRaiser raiser) noexcept;

[[noreturn]] void IssueComError(HRESULT hr);
// After a failed call through `object`'s interface `iid`: attaches the thread's error
// information when the object says it supports it for that interface.
[[noreturn]] void IssueComErrorEx(HRESULT hr, IUnknown* object, REFIID iid);

[[noreturn]] void RaiseComError(HRESULT hr, const char16_t* description, REFCLSID clsid = GUID_NULL,
                                REFIID iid = GUID_NULL);
// Description "<message> <text of code>".
[[noreturn]] void RaiseComErrorWithCode(HRESULT hr, HRESULT code, const char16_t* message);

namespace tarn::report {
[[noreturn]] void RaiseFormatted(HRESULT hr, const char16_t* format, const FormatArg* args,
                                 std::size_t count);
Bstr FormatBstrFrom(const char16_t* format, const FormatArg* args, std::size_t count);
} // namespace tarn::report

// Raises `hr` with a description formatted into at most 8192 characters.
template <class... A>
[[noreturn]] void RaiseComErrorFormat(HRESULT hr, const char16_t* format, const A&... args) {
    const tarn::FormatArg captured[sizeof...(A) == 0 ? 1 : sizeof...(A)] = {
        tarn::format_detail::Capture(args)...};
    tarn::report::RaiseFormatted(hr, format, captured, sizeof...(A));
}

// A new BSTR formatted into at most 8191 characters; raises E_OUTOFMEMORY when it cannot
// be allocated.
template <class... A>
tarn::Bstr FormatBstr(const char16_t* format, const A&... args) {
    const tarn::FormatArg captured[sizeof...(A) == 0 ? 1 : sizeof...(A)] = {
        tarn::format_detail::Capture(args)...};
    return tarn::report::FormatBstrFrom(format, captured, sizeof...(A));
}
