// What KpxTarnRuleProvider.dll carries: its type library's coclass, the version resource, the
// project name string and the manifest.
#include "support/provider.h"

#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::test {
namespace {

// The one coclass, creatable, with the agent's interface as its default. (Identity, version
// and platform of the library show in what registration writes; that the interface is the
// agent's, found through its library, and callable through IDispatch, in the object and
// automation tests.)
TEST(ProviderTypeLibrary, HoldsTheCreatableCoclass) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(ProviderDllPath().c_str(), REGKIND_NONE, library.Out()), S_OK);
    EXPECT_EQ(library->GetTypeInfoCount(), 1u);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kProviderClassId, coclass.Out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
}

// The agent's interface as the agent's own build lays it out: a dual interface whose two
// methods take virtual-table slots 7 and 8. Client and component are both built from our IDL,
// so only this pins its layout to the agent's.
TEST(AgentTypeLibrary, DeclaresTheDualInterfaceWithTwoSlots) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx((ProviderDirectory() + L"InventoryRuleAgent.tlb").c_str(), REGKIND_NONE,
                            library.Out()),
              S_OK);
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kInventoryRuleProviderId, dispatch.Out()), S_OK);
    HREFTYPE reference = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(reference, vtable.Out()), S_OK);
    const struct {
        int slot;
        int parameters;
    } methods[] = {{7, 2}, {8, 0}};
    for (UINT i = 0; i < 2; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(i, &function), S_OK);
        EXPECT_EQ(function->oVft, methods[i].slot * static_cast<int>(sizeof(void*)));
        EXPECT_EQ(function->cParams, methods[i].parameters);
        EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
        if (function->cParams == 2) {
            EXPECT_EQ(function->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
            EXPECT_EQ(function->lprgelemdescParam[1].tdesc.lptdesc->vt, VT_BOOL);
        }
        vtable->ReleaseFuncDesc(function);
    }
}

// The DLL loaded as data: resources only, no code run.
class ProviderResources : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(ProviderDllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { FreeLibrary(module_); }

    HMODULE module_ = nullptr;
};

TEST_F(ProviderResources, ProjectNameTypeLibraryAndManifest) {
    wchar_t name[64] = {};
    ASSERT_GT(LoadStringW(module_, 100, name, 64), 0);
    EXPECT_STREQ(name, L"KpxTarnRuleProvider");
    EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
    const HRSRC manifest = FindResourceW(module_, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module_, manifest)));
    const std::string text(bytes, SizeofResource(module_, manifest));
    EXPECT_NE(text.find("name=\"Orvanta.KpxTarnRuleProvider\""), std::string::npos) << text;
}

TEST(ProviderVersion, DescribesTheFile) {
    const std::wstring path = ProviderDllPath();
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    wchar_t* description = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
    EXPECT_STREQ(description, L"Orvanta Tarn Rule Provider");
}

} // namespace
} // namespace tarn::test
