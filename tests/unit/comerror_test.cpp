// _com_error and the routines that raise it: the code's text, the error information a raise
// carries, and the one replaceable raiser every raise goes through. (Every raise here is caught
// and copied out, so a copy that miscounted references would fail under the sanitizers.)
#include "utility/log/comerror.h"

#include "utility/platform/comptr.h"

#include <gtest/gtest.h>

#include <string>

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
        {0x80070002, u"The system cannot find the file specified."},
        {0x80040201, u"IDispatch error #1"},
        {0x8004FFFF, u"IDispatch error #65023"},
        {0x80040200, u"Unknown error 0x80040200"},
        {0x00000012, u"Unknown error 0x12"},
    };
    for (const auto& c : cases) {
        const _com_error error(static_cast<HRESULT>(c.hr));
        ASSERT_NE(error.ErrorMessage(), nullptr);
        EXPECT_EQ(std::u16string(error.ErrorMessage()), c.text) << std::hex << c.hr;
        EXPECT_EQ(error.ErrorMessage(), error.ErrorMessage()) << "computed once";
    }
}

// An object that says it supports error information for one interface.
class SupportsErrorInfo final : public ISupportErrorInfo {
public:
    explicit SupportsErrorInfo(const IID& supported) : supported_(supported) {}
    HRESULT QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_ISupportErrorInfo ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == supported_ ? S_OK : S_FALSE;
    }

private:
    IID supported_;
};

TEST(ComError, IssueAttachesTheThreadErrorInfoOnlyWhenTheObjectSupportsIt) {
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
        SetErrorInfo(0, nullptr);
    }
    const _com_error bare = Caught([] { IssueComError(E_NOTIMPL); });
    EXPECT_EQ(bare.Error(), E_NOTIMPL);
    EXPECT_EQ(bare.ErrorInfo(), nullptr);
    EXPECT_EQ(bare.Description(), u"");
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
    ComPtr<IErrorInfo> thread;
    EXPECT_EQ(GetErrorInfo(0, thread.Out()), S_FALSE);

    const auto notFound = static_cast<HRESULT>(0x80070002);
    const _com_error withCode =
        Caught([&] { RaiseComErrorWithCode(E_FAIL, notFound, u"Failed to create XMLDOM."); });
    EXPECT_EQ(withCode.Error(), E_FAIL);
    EXPECT_EQ(withCode.Description(),
              u"Failed to create XMLDOM. The system cannot find the file specified.");
    // Descriptions are cut at 8192 characters.
    const std::u16string longText(9000, u'x');
    const _com_error cut = Caught([&] { RaiseComErrorFormat(E_FAIL, u"%s: %d", longText, 1); });
    EXPECT_EQ(cut.Description(), std::u16string(8192, u'x'));
    const _com_error formatted =
        Caught([] { RaiseComErrorFormat(E_FAIL, u"Invalid value %ls at %d", u"Csidl", 3); });
    EXPECT_EQ(formatted.Description(), u"Invalid value Csidl at 3");
}

std::uint32_t raisedCode = 0;
std::u16string raisedDescription;

void RecordingRaiser(HRESULT hr, IErrorInfo* info) {
    raisedCode = static_cast<std::uint32_t>(hr);
    Bstr text;
    if (info != nullptr) {
        info->GetDescription(text.Out());
    }
    raisedDescription = text.String();
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
