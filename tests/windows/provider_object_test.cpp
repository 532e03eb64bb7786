// KpxTarnRuleProvider.dll loaded by path: its exports, class factory and object, with every
// answer the COM boundary gives, null pointers and aggregation included. The IDispatch cases
// need the agent's type library registered (fixture provider_agent_typelib).
#include "support/provider.h"

#include "utility/platform/bstr.h"

#include <objsafe.h>

#include <gtest/gtest.h>

#include <atomic>

namespace tarn::test {
namespace {

constexpr IID kUnknownInterface = {
    0x12345678, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};
constexpr CLSID kOtherClass = {
    0xDF407668, 0xEC52, 0x4582, {0x8C, 0x1D, 0x0C, 0x4D, 0x73, 0xE9, 0x53, 0x0F}};
void* const kGarbage = reinterpret_cast<void*>(0x1234);

class ProviderObject : public testing::Test {
protected:
    ComScope com;
    ProviderDll dll;
};

const struct {
    const char* name;
    const CLSID* clsid;
    const IID* iid;
    HRESULT hr;
} kClassObjectCases[] = {
    {"factory", &kProviderClassId, &IID_IClassFactory, S_OK},
    {"unknown of the factory", &kProviderClassId, &IID_IUnknown, S_OK},
    {"interface the factory lacks", &kProviderClassId, &IID_IDispatch, E_NOINTERFACE},
    {"unknown class", &kOtherClass, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
};

// The factory is created once and kept; its IUnknown and IClassFactory are one object.
TEST_F(ProviderObject, DllGetClassObjectAnswersEveryRequest) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(kProviderClassId, IID_IClassFactory, factory.OutVoid()), S_OK);
    for (const auto& c : kClassObjectCases) {
        void* out = kGarbage;
        EXPECT_EQ(dll.GetClassObject(*c.clsid, *c.iid, &out), c.hr) << c.name;
        EXPECT_EQ(out, SUCCEEDED(c.hr) ? factory.Get() : nullptr) << c.name;
        if (out != nullptr && out != kGarbage) {
            static_cast<IUnknown*>(out)->Release();
        }
    }
    EXPECT_EQ(dll.GetClassObject(kProviderClassId, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, nullptr), E_POINTER);
}

const struct {
    const char* name;
    bool aggregated;
    const IID* iid;
    HRESULT hr;
} kCreateCases[] = {
    {"IInventoryRuleProvider", false, &kInventoryRuleProviderId, S_OK},
    {"unknown interface", false, &kUnknownInterface, E_NOINTERFACE},
    {"aggregated, IInventoryRuleProvider", true, &kInventoryRuleProviderId, CLASS_E_NOAGGREGATION},
    {"aggregated, IDispatch", true, &IID_IDispatch, CLASS_E_NOAGGREGATION},
};

// An outer object that owns an aggregated provider and counts the references given to it.
class Outer final : public IUnknown {
public:
    std::atomic<ULONG> references{1};
    IUnknown* inner = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner != nullptr ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

TEST_F(ProviderObject, FactoryCreatesWhatIsAskedFor) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(kProviderClassId, IID_IClassFactory, factory.OutVoid()), S_OK);
    for (const auto& c : kCreateCases) {
        Outer outer;
        void* out = kGarbage;
        EXPECT_EQ(factory->CreateInstance(c.aggregated ? &outer : nullptr, *c.iid, &out), c.hr)
            << c.name;
        EXPECT_EQ(out != nullptr, SUCCEEDED(c.hr)) << c.name;
        if (out != nullptr && out != kGarbage) {
            static_cast<IUnknown*>(out)->Release();
        }
        EXPECT_EQ(dll.CanUnloadNow(), S_OK) << c.name << ": every object is gone again";
    }
    EXPECT_EQ(factory->CreateInstance(nullptr, kInventoryRuleProviderId, nullptr), E_POINTER);
}

TEST_F(ProviderObject, DllCanUnloadNowFollowsObjectsAndLocks) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(kProviderClassId, IID_IClassFactory, factory.OutVoid()), S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "a factory reference does not hold the module";

    ComPtr<IInventoryRuleProvider> first = dll.Create();
    ComPtr<IInventoryRuleProvider> second = dll.Create();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    first.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "one object still lives";
    second.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(ProviderObject, InterfacesShareOneIdentity) {
    ComPtr<IInventoryRuleProvider> provider = dll.Create();
    ASSERT_TRUE(provider);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(provider->QueryInterface(IID_IUnknown, identity.OutVoid()), S_OK);
    for (const IID* iid : {&kInventoryRuleProviderId, &IID_IDispatch, &IID_IObjectSafety}) {
        ComPtr<IUnknown> other;
        ASSERT_EQ(identity->QueryInterface(*iid, other.OutVoid()), S_OK);
        ComPtr<IUnknown> back;
        ASSERT_EQ(other->QueryInterface(IID_IUnknown, back.OutVoid()), S_OK);
        EXPECT_EQ(back.Get(), identity.Get());
    }
    EXPECT_EQ(provider->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ProviderObject, AggregatedObjectDelegatesToItsOuterObject) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(kProviderClassId, IID_IClassFactory, factory.OutVoid()), S_OK);
    Outer outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);

    IInventoryRuleProvider* provider = nullptr;
    ASSERT_EQ(
        outer.inner->QueryInterface(kInventoryRuleProviderId, reinterpret_cast<void**>(&provider)),
        S_OK);
    EXPECT_EQ(outer.references, 2u) << "the interface counts on the outer object";
    IUnknown* identity = nullptr;
    ASSERT_EQ(provider->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    EXPECT_EQ(Evaluate(provider, L"<ruleset><and/></ruleset>"), (Answer{S_OK, VARIANT_TRUE}));
    provider->Release();
    EXPECT_EQ(outer.references, 1u);

    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// The answers to documents come from the corpus run through COM.
TEST_F(ProviderObject, EvaluateRulesAnswersNullPointers) {
    ComPtr<IInventoryRuleProvider> provider = dll.Create();
    ASSERT_TRUE(provider);
    Answer answer{S_OK, 0x5555};
    EXPECT_EQ(provider->EvaluateRules(nullptr, &answer.result), E_FAIL);
    EXPECT_EQ(answer.result, VARIANT_FALSE);
    const Bstr text = Bstr::Copy(u"<ruleset><and/></ruleset>");
    EXPECT_EQ(provider->EvaluateRules(text.Get(), nullptr), E_POINTER);
    // The second method of the interface does nothing.
    EXPECT_EQ(provider->Reserved(), S_OK);
    EXPECT_EQ(Evaluate(provider.Get(), L"<ruleset><and/></ruleset>"), (Answer{S_OK, VARIANT_TRUE}));
}

TEST_F(ProviderObject, ObjectSafetyIsSafeForEveryInterface) {
    ComPtr<IInventoryRuleProvider> provider = dll.Create();
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(provider->QueryInterface(IID_IObjectSafety, safety.OutVoid()), S_OK);
    for (const IID* iid : {&kInventoryRuleProviderId, &IID_IDispatch, &kUnknownInterface}) {
        DWORD supported = 0;
        DWORD enabled = 0;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled), S_OK);
        EXPECT_EQ(supported, 3u);
        EXPECT_EQ(enabled, 3u);
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(*iid, 3, 0), S_OK);
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(*iid, &supported, &enabled), S_OK);
        EXPECT_EQ(enabled, 3u) << "setting changes nothing";
    }
    DWORD options = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &options), E_POINTER);
}

TEST_F(ProviderObject, TypeInformationCountAndIndex) {
    ComPtr<IInventoryRuleProvider> provider = dll.Create();
    UINT count = 0;
    EXPECT_EQ(provider->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(provider->GetTypeInfoCount(nullptr), E_POINTER);

    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(kGarbage);
    EXPECT_EQ(provider->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(provider->GetTypeInfo(0, 0, nullptr), E_POINTER);

    ComPtr<ITypeInfo> found;
    ASSERT_EQ(provider->GetTypeInfo(0, 0, found.Out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(found->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, kInventoryRuleProviderId));
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    found->ReleaseTypeAttr(attr);
    ComPtr<ITypeLib> library;
    UINT index = 0;
    ASSERT_EQ(found->GetContainingTypeLib(library.Out(), &index), S_OK);
    Bstr name;
    ASSERT_EQ(library->GetDocumentation(-1, name.Out(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.View(), u"InventoryRuleAgentLib")
        << "the interface lives in the agent's library";
}

DISPID IdOf(IDispatch* dispatch, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    return id;
}

// What IDispatch refuses; names and calls that work are the automation test's (scripts/).
TEST_F(ProviderObject, DispatchRefusesWhatItCannotAnswer) {
    ComPtr<IInventoryRuleProvider> provider = dll.Create();
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
    DISPID id = 0;
    EXPECT_EQ(provider->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(provider->GetIDsOfNames(kUnknownInterface, unknown, 1, 0, &id),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(provider->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_POINTER);
    EXPECT_EQ(provider->GetIDsOfNames(IID_NULL, unknown, 1, 0, nullptr), E_POINTER);
    const DISPID evaluate = IdOf(provider.Get(), L"evaluaterules");
    EXPECT_NE(evaluate, DISPID_UNKNOWN) << "names are matched without regard to case";
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(provider->Invoke(evaluate, kUnknownInterface, 0, DISPATCH_METHOD, &none, nullptr,
                               nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(provider->Invoke(evaluate, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                               nullptr),
              E_POINTER);
}

} // namespace
} // namespace tarn::test
