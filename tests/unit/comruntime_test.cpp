// The stand-ins for the Windows COM runtime pieces that portable code uses.
#include "utility/platform/bstr.h"
#include "utility/platform/comptr.h"
#include "utility/platform/wintypes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace tarn {
namespace {

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

TEST(ComRuntime, InterfaceIdentifiersHaveTheirRealValues) {
    const GUID errorInfo{
        0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
    EXPECT_TRUE(IID_IErrorInfo == errorInfo);
    EXPECT_EQ(IID_IUnknown.Data4[0], 0xC0);
    EXPECT_EQ(IID_IUnknown.Data4[7], 0x46);
    EXPECT_EQ(IID_ICreateErrorInfo.Data1, 0x22F03340u);
    EXPECT_EQ(IID_ISupportErrorInfo.Data1, 0xDF0B3D60u);
    EXPECT_EQ(IID_ISupportErrorInfo.Data2, 0x548F);
}

ComPtr<IErrorInfo> MakeErrorInfo(const char16_t* description) {
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(create.Out()), S_OK);
    create->SetDescription(const_cast<char16_t*>(description));
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(create.As(IID_IErrorInfo, info), S_OK);
    return info;
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

TEST(ComRuntime, GetErrorInfoHandsOverAndClears) {
    ComPtr<IErrorInfo> info = MakeErrorInfo(u"first");
    EXPECT_EQ(SetErrorInfo(0, info.Get()), S_OK);
    ComPtr<IErrorInfo> taken;
    EXPECT_EQ(GetErrorInfo(0, taken.Out()), S_OK);
    EXPECT_EQ(taken.Get(), info.Get());
    ComPtr<IErrorInfo> again;
    EXPECT_EQ(GetErrorInfo(0, again.Out()), S_FALSE);
    EXPECT_FALSE(again);
    // Setting null clears what was set.
    SetErrorInfo(0, info.Get());
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(GetErrorInfo(0, again.Out()), S_FALSE);
}

TEST(ComRuntime, ErrorInfoAndLastErrorBelongToTheThread) {
    ComPtr<IErrorInfo> info = MakeErrorInfo(u"mine");
    SetErrorInfo(0, info.Get());
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
    EXPECT_EQ(DescriptionOf(mine.Get()), u"mine");
}

TEST(ComRuntime, NoClassIsRegistered) {
    LPOLESTR progId = reinterpret_cast<LPOLESTR>(&progId);
    const CLSID clsid{0xDF407668, 0xEC52, 0x4582, {0x8C, 0x1D, 0x0C, 0x4D, 0x73, 0xE9, 0x53, 0x0E}};
    EXPECT_EQ(ProgIDFromCLSID(clsid, &progId), static_cast<HRESULT>(0x80040154u));
    EXPECT_EQ(progId, nullptr);
    CoTaskMemFree(nullptr);
}

} // namespace
} // namespace tarn
