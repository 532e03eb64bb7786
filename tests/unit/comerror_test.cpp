// _com_error and the raising functions, over the stand-ins for the Windows COM runtime pieces
// that portable code uses (BSTR, the error information object, the thread's error state).
#include "utility/log/comerror.h"

#include "utility/platform/bstr.h"
#include "utility/platform/comptr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

using tarn::BareStatus;
using tarn::Bstr;
using tarn::ComPtr;

const IID kSomeInterface{0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
const IID kOtherInterface{0x55555555, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};

ComPtr<IErrorInfo> MakeErrorInfo(const char16_t* description) {
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(create.Out()), S_OK);
    create->SetDescription(const_cast<char16_t*>(description));
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(create.As(IID_IErrorInfo, info), S_OK);
    return info;
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(ComRuntime, BstrHasTheWindowsLayout) {
    const struct {
        const char16_t* text;
        UINT length;
    } cases[] = {{u"", 0}, {u"abc", 3}, {u"\U0001F600", 2}};
    for (const auto& c : cases) {
        Bstr s(SysAllocString(c.text));
        ASSERT_NE(s.Get(), nullptr);
        std::uint32_t prefix = 0;
        std::memcpy(&prefix, reinterpret_cast<const char*>(s.Get()) - 4, 4);
        EXPECT_EQ(prefix, c.length * 2);
        EXPECT_EQ(SysStringLen(s.Get()), c.length);
        EXPECT_EQ(s.Get()[c.length], u'\0');
        EXPECT_EQ(s.View(), std::u16string_view(c.text));
    }
}

TEST(ComRuntime, BstrEdgeCases) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    // A length without text gives zeroed room; embedded NULs are kept.
    Bstr room(SysAllocStringLen(nullptr, 3));
    ASSERT_NE(room.Get(), nullptr);
    EXPECT_EQ(room.View(), std::u16string_view(u"\0\0\0", 3));
    Bstr embedded(SysAllocStringLen(u"a\0b", 3));
    EXPECT_EQ(SysStringLen(embedded.Get()), 3u);
    EXPECT_EQ(Bstr::Copy(u"").View(), u"");
}

std::u16string DescriptionOf(IErrorInfo* info) {
    Bstr text;
    EXPECT_EQ(info->GetDescription(text.Out()), S_OK);
    return text.String();
}

TEST(ComRuntime, ErrorInfoObjectAnswersForItsInterfaces) {
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(create.Out()), S_OK);
    const GUID guid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(create->SetGUID(guid), S_OK);
    EXPECT_EQ(create->SetSource(const_cast<char16_t*>(u"Source.1")), S_OK);
    EXPECT_EQ(create->SetDescription(const_cast<char16_t*>(u"it failed")), S_OK);
    EXPECT_EQ(create->SetHelpContext(77), S_OK);

    ComPtr<IErrorInfo> info;
    ASSERT_EQ(create.As(IID_IErrorInfo, info), S_OK);
    GUID read{};
    EXPECT_EQ(info->GetGUID(&read), S_OK);
    EXPECT_TRUE(read == guid);
    Bstr source;
    EXPECT_EQ(info->GetSource(source.Out()), S_OK);
    EXPECT_EQ(source.View(), u"Source.1");
    EXPECT_EQ(DescriptionOf(info.Get()), u"it failed");
    Bstr helpFile;
    EXPECT_EQ(info->GetHelpFile(helpFile.Out()), S_OK);
    EXPECT_EQ(helpFile.Get(), nullptr);
    DWORD context = 0;
    EXPECT_EQ(info->GetHelpContext(&context), S_OK);
    EXPECT_EQ(context, 77u);

    // IUnknown is the same object whichever interface it is asked through.
    ComPtr<IUnknown> a;
    ComPtr<IUnknown> b;
    EXPECT_EQ(info.As(IID_IUnknown, a), S_OK);
    EXPECT_EQ(create.As(IID_IUnknown, b), S_OK);
    EXPECT_EQ(a.Get(), b.Get());
    ComPtr<ISupportErrorInfo> none;
    EXPECT_EQ(info.As(IID_ISupportErrorInfo, none), E_NOINTERFACE);
    EXPECT_FALSE(none);
}

TEST(ComRuntime, ErrorInfoAndLastErrorBelongToTheThreadAndAreHandedOverOnce) {
    ComPtr<IErrorInfo> info = MakeErrorInfo(u"mine");
    EXPECT_EQ(SetErrorInfo(0, info.Get()), S_OK);
    SetLastError(5);
    HRESULT otherThreadSaw = S_OK;
    DWORD otherLastError = 99;
    std::thread([&] {
        ComPtr<IErrorInfo> seen;
        otherThreadSaw = GetErrorInfo(0, seen.Out());
        otherLastError = GetLastError();
        SetLastError(7);
    }).join();
    EXPECT_EQ(otherThreadSaw, S_FALSE);
    EXPECT_EQ(otherLastError, 0u);
    EXPECT_EQ(GetLastError(), 5u);
    ComPtr<IErrorInfo> mine;
    EXPECT_EQ(GetErrorInfo(0, mine.Out()), S_OK);
    EXPECT_EQ(mine.Get(), info.Get());
    EXPECT_EQ(DescriptionOf(mine.Get()), u"mine");
    ComPtr<IErrorInfo> again;
    EXPECT_EQ(GetErrorInfo(0, again.Out()), S_FALSE);
    EXPECT_FALSE(again);
    // Setting null clears what was set.
    SetErrorInfo(0, info.Get());
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(GetErrorInfo(0, again.Out()), S_FALSE);
}

TEST(ComRuntime, NoClassIsRegistered) {
    LPOLESTR progId = reinterpret_cast<LPOLESTR>(&progId);
    const CLSID clsid{0xDF407668, 0xEC52, 0x4582, {0x8C, 0x1D, 0x0C, 0x4D, 0x73, 0xE9, 0x53, 0x0E}};
    EXPECT_EQ(ProgIDFromCLSID(clsid, &progId), static_cast<HRESULT>(0x80040154u));
    EXPECT_EQ(progId, nullptr);
    CoTaskMemFree(nullptr);
}

// An object that says it supports error information for one interface.
class SupportsErrorInfo final : public ISupportErrorInfo {
public:
    explicit SupportsErrorInfo(const IID& supported) : supported_(supported) {}
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_ISupportErrorInfo) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == supported_ ? S_OK : S_FALSE;
    }

private:
    IID supported_;
};

template <class Raise>
_com_error Caught(Raise&& raise) {
    try {
        raise();
    } catch (const _com_error& e) {
        return e;
    }
    ADD_FAILURE() << "nothing was raised";
    return _com_error(S_OK);
}

TEST(ComError, MessageIsTheSystemTextOrAFallback) {
    const struct {
        std::uint32_t hr;
        std::u16string text;
    } cases[] = {
        {0x80004005, u"Unspecified error"},
        {0x80070002, u"The system cannot find the file specified."},
        {0x00000000, u"The operation completed successfully."},
        {0x80040201, u"IDispatch error #1"},
        {0x8004FFFF, u"IDispatch error #65023"},
        {0x80040200, u"Unknown error 0x80040200"},
        {0x800401FF, u"Unknown error 0x800401FF"},
        {0x80050201, u"Unknown error 0x80050201"},
        {0xE0001234, u"Unknown error 0xE0001234"},
        {0x00000012, u"Unknown error 0x12"},
    };
    for (const auto& c : cases) {
        const _com_error error(static_cast<HRESULT>(c.hr));
        ASSERT_NE(error.ErrorMessage(), nullptr);
        EXPECT_EQ(std::u16string(error.ErrorMessage()), c.text) << std::hex << c.hr;
        EXPECT_EQ(error.ErrorMessage(), error.ErrorMessage()) << "computed once";
    }
}

TEST(ComError, CopiesShareTheErrorInfoButNotTheText) {
    ComPtr<IErrorInfo> info = MakeErrorInfo(u"described");
    {
        _com_error original(E_FAIL, info.Get(), true);
        EXPECT_EQ(References(info.Get()), 2u);
        const char16_t* text = original.ErrorMessage();
        {
            const _com_error copy(original);
            EXPECT_EQ(References(info.Get()), 3u);
            EXPECT_EQ(copy.Error(), E_FAIL);
            EXPECT_EQ(copy.Description(), u"described");
            EXPECT_NE(copy.ErrorMessage(), text);
            EXPECT_EQ(std::u16string(copy.ErrorMessage()), text);
        }
        EXPECT_EQ(References(info.Get()), 2u);
        _com_error assigned(E_POINTER);
        assigned = original;
        EXPECT_EQ(assigned.Error(), E_FAIL);
        EXPECT_EQ(References(info.Get()), 3u);
        const _com_error& same = assigned;
        assigned = same;
        EXPECT_EQ(References(info.Get()), 3u);
    }
    EXPECT_EQ(References(info.Get()), 1u);
    // Without addRef the object adopts the reference it is given.
    info->AddRef();
    { const _com_error adopting(E_FAIL, info.Get()); }
    EXPECT_EQ(References(info.Get()), 1u);
}

TEST(ComError, DescriptionIsEmptyWithoutErrorInfo) {
    EXPECT_EQ(_com_error(E_FAIL).Description(), u"");
    EXPECT_EQ(_com_error(E_FAIL).ErrorInfo(), nullptr);
}

TEST(ComError, IssueRaisesTheCodeAlone) {
    const _com_error e = Caught([] { IssueComError(E_NOTIMPL); });
    EXPECT_EQ(e.Error(), E_NOTIMPL);
    EXPECT_EQ(e.ErrorInfo(), nullptr);
}

TEST(ComError, IssueExAttachesTheThreadErrorInfoOnlyWhenSupported) {
    const struct {
        const char* name;
        bool withObject;
        IID supported;
        bool attached;
    } cases[] = {
        {"supported", true, kSomeInterface, true},
        {"other interface", true, kOtherInterface, false},
        {"no object", false, kSomeInterface, false},
    };
    for (const auto& c : cases) {
        ComPtr<IErrorInfo> info = MakeErrorInfo(u"from the callee");
        SetErrorInfo(0, info.Get());
        SupportsErrorInfo object(c.supported);
        const _com_error e = Caught(
            [&] { IssueComErrorEx(E_FAIL, c.withObject ? &object : nullptr, kSomeInterface); });
        EXPECT_EQ(e.Error(), E_FAIL) << c.name;
        EXPECT_EQ(e.ErrorInfo() == info.Get(), c.attached) << c.name;
        EXPECT_EQ(e.Description(), c.attached ? u"from the callee" : u"") << c.name;
        SetErrorInfo(0, nullptr);
    }
}

TEST(ComError, RaiseCarriesTheDescriptionAndLeavesTheThreadAlone) {
    SetErrorInfo(0, nullptr);
    const _com_error e =
        Caught([] { RaiseComError(E_FAIL, u"Empty node name", GUID_NULL, kSomeInterface); });
    EXPECT_EQ(e.Error(), E_FAIL);
    ASSERT_NE(e.ErrorInfo(), nullptr);
    EXPECT_EQ(e.Description(), u"Empty node name");
    GUID guid{};
    e.ErrorInfo()->GetGUID(&guid);
    EXPECT_TRUE(guid == kSomeInterface);
    Bstr source;
    e.ErrorInfo()->GetSource(source.Out());
    EXPECT_EQ(source.Get(), nullptr) << "no class is registered, so no ProgID";
    ComPtr<IErrorInfo> thread;
    EXPECT_EQ(GetErrorInfo(0, thread.Out()), S_FALSE);
}

TEST(ComError, RaiseWithCodeAppendsTheCodeText) {
    const struct {
        std::uint32_t code;
        std::u16string description;
    } cases[] = {
        {0x80070002, u"Failed to create XMLDOM. The system cannot find the file specified."},
        {0x80004005, u"Failed to create XMLDOM. Unspecified error"},
        {0x80040205, u"Failed to create XMLDOM. IDispatch error #5"},
    };
    for (const auto& c : cases) {
        const auto hr = static_cast<HRESULT>(c.code);
        const _com_error e =
            Caught([&] { RaiseComErrorWithCode(hr, hr, u"Failed to create XMLDOM."); });
        EXPECT_EQ(e.Error(), hr);
        EXPECT_EQ(e.Description(), c.description);
    }
}

TEST(ComError, FormattedDescriptionsAreCutAtTheirBuffers) {
    const std::u16string longText(9000, u'x');
    const _com_error raised = Caught([&] { RaiseComErrorFormat(E_FAIL, u"%s: %d", longText, 1); });
    EXPECT_EQ(raised.Description(), std::u16string(8192, u'x'));
    const _com_error formatted =
        Caught([] { RaiseComErrorFormat(E_FAIL, u"Invalid value %ls at %d", u"Csidl", 3); });
    EXPECT_EQ(formatted.Description(), u"Invalid value Csidl at 3");

    EXPECT_EQ(FormatBstr(u"%s", longText).View().size(), 8191u);
    EXPECT_EQ(FormatBstr(u"%ls %ls", u"a", u"b").View(), u"a b");
    EXPECT_EQ(FormatBstr(u"none").View(), u"none");
}

std::uint32_t raisedCode = 0;
std::u16string raisedDescription;

void RecordingRaiser(HRESULT hr, IErrorInfo* info) {
    raisedCode = static_cast<std::uint32_t>(hr);
    raisedDescription.clear();
    if (info != nullptr) {
        Bstr text;
        info->GetDescription(text.Out());
        raisedDescription = text.String();
    }
}

[[noreturn]] void ThrowingRaiser(HRESULT hr, IErrorInfo*) {
    throw BareStatus{hr};
}

TEST(ComError, EveryRaiseGoesThroughTheReplaceableRaiser) {
    const ComErrorRaiser previous = SetComErrorRaiser(&RecordingRaiser);
    // A raiser that returns is followed by the default throw.
    const _com_error e = Caught([] { RaiseComError(E_POINTER, u"seen by the raiser"); });
    EXPECT_EQ(raisedCode, 0x80004003u);
    EXPECT_EQ(raisedDescription, u"seen by the raiser");
    EXPECT_EQ(e.Description(), u"seen by the raiser");
    Caught([] { IssueComError(E_UNEXPECTED); });
    EXPECT_EQ(raisedCode, 0x8000FFFFu);

    // A raiser may throw something else; the error information is not leaked (ASan checks).
    SetComErrorRaiser(&ThrowingRaiser);
    EXPECT_THROW(RaiseComError(E_FAIL, u"replaced"), BareStatus);
    EXPECT_EQ(SetComErrorRaiser(previous), &ThrowingRaiser);
}

} // namespace
