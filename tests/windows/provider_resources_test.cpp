// What KpxTarnRuleProvider.dll and InventoryRuleAgent.tlb carry: the component's type library
// (referring to the agent's interface, never defining it), the agent's interface with its two
// slots, the version resource, the project name string and the manifest.
#include "support/provider.h"

#include "utility/platform/bstr.h"

#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::test {
namespace {

constexpr GUID kTypeLibraryId = {
    0xCDF1B27E, 0xDB47, 0x4FCF, {0x86, 0x8D, 0x28, 0x2B, 0xA5, 0xF4, 0xD3, 0x29}};
constexpr SYSKIND kThisSyskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

ComPtr<ITypeLib> LoadLibraryFile(const std::wstring& path) {
    ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out()), S_OK);
    return library;
}

// The name of a type library or of a type.
template <class Described>
std::u16string Name(Described* described) {
    Bstr name;
    described->GetDocumentation(-1, name.Out(), nullptr, nullptr, nullptr);
    return name.String();
}

class TypeAttrOf {
public:
    explicit TypeAttrOf(ITypeInfo* info) : info_(info) { info_->GetTypeAttr(&attr_); }
    ~TypeAttrOf() { info_->ReleaseTypeAttr(attr_); }
    const TYPEATTR* operator->() const { return attr_; }

private:
    ITypeInfo* info_;
    TYPEATTR* attr_ = nullptr;
};

// The coclass's interface is found through the agent's library, registered by the fixture
// provider_agent_typelib.
TEST(ProviderTypeLibrary, HoldsTheCoclassImplementingTheAgentInterface) {
    ComPtr<ITypeLib> library = LoadLibraryFile(ProviderDllPath());
    ASSERT_TRUE(library);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, kTypeLibraryId));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->syskind, kThisSyskind);
    library->ReleaseTLibAttr(attr);
    EXPECT_EQ(library->GetTypeInfoCount(), 1u);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kProviderClassId, coclass.Out()), S_OK);
    EXPECT_EQ(Name(coclass.Get()), u"KpxTarnRuleProvider");
    {
        const TypeAttrOf coclassAttr(coclass.Get());
        EXPECT_EQ(coclassAttr->typekind, TKIND_COCLASS);
        EXPECT_EQ(coclassAttr->cImplTypes, 1);
        EXPECT_NE(coclassAttr->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    }
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    ComPtr<ITypeInfo> defined;
    EXPECT_EQ(library->GetTypeInfoOfGuid(kInventoryRuleProviderId, defined.Out()),
              TYPE_E_ELEMENTNOTFOUND)
        << "the agent's interface is referred to, not defined";

    HREFTYPE reference = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, implemented.Out()), S_OK);
    const TypeAttrOf implementedAttr(implemented.Get());
    EXPECT_TRUE(IsEqualGUID(implementedAttr->guid, kInventoryRuleProviderId));
    ComPtr<ITypeLib> container;
    UINT index = 0;
    ASSERT_EQ(implemented->GetContainingTypeLib(container.Out(), &index), S_OK);
    EXPECT_EQ(Name(container.Get()), u"InventoryRuleAgentLib");
}

TEST(AgentTypeLibrary, DeclaresTheDualInterfaceWithTwoSlots) {
    ComPtr<ITypeLib> library = LoadLibraryFile(ProviderDirectory() + L"InventoryRuleAgent.tlb");
    ASSERT_TRUE(library);
    EXPECT_EQ(Name(library.Get()), u"InventoryRuleAgentLib");
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kInventoryRuleProviderId, dispatch.Out()), S_OK);
    EXPECT_EQ(Name(dispatch.Get()), u"IInventoryRuleProvider");
    {
        const TypeAttrOf attr(dispatch.Get());
        EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
        EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
    }
    HREFTYPE reference = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(reference, vtable.Out()), S_OK);
    const TypeAttrOf attr(vtable.Get());
    ASSERT_EQ(attr->cFuncs, 2);

    struct Slot {
        int index;
        int parameters;
    } slots[] = {{7, 2}, {8, 0}};
    for (UINT i = 0; i < 2; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(i, &function), S_OK);
        EXPECT_EQ(function->oVft, slots[i].index * static_cast<int>(sizeof(void*)));
        EXPECT_EQ(function->cParams, slots[i].parameters);
        EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
        if (function->cParams == 2) {
            EXPECT_EQ(function->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
            EXPECT_EQ(function->lprgelemdescParam[1].tdesc.vt, VT_PTR);
            EXPECT_EQ(function->lprgelemdescParam[1].tdesc.lptdesc->vt, VT_BOOL);
            EXPECT_NE(function->lprgelemdescParam[1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL, 0);
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
