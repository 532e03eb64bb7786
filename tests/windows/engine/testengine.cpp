// testengine.dll: see testengine.h. Registered with ThreadingModel "Both", so the component
// gets the object itself on the calling thread, whatever its apartment.
#include "engine/testengine.h"

#include "inventoryruleagent.h"

#include <atomic>
#include <cwchar>
#include <initializer_list>
#include <mutex>
#include <new>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tarn::test {
namespace {

std::atomic<LONG> liveInstances{0};
std::mutex lastTextLock;
std::wstring lastText;

// QueryInterface of an object that is exactly the interfaces `ids`.
HRESULT Query(IUnknown* self, REFIID iid, std::initializer_list<const IID*> ids, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    for (const IID* id : ids) {
        if (IsEqualIID(iid, *id)) {
            *out = self;
            self->AddRef();
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

class Engine final : public IInventoryRuleProvider {
public:
    Engine() { ++liveInstances; }
    ~Engine() { --liveInstances; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Query(this, iid, {&IID_IUnknown, &IID_IDispatch, &__uuidof(IInventoryRuleProvider)},
                     out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE EvaluateRules(BSTR rule, VARIANT_BOOL* result) override {
        const std::wstring text(rule != nullptr ? rule : L"", SysStringLen(rule));
        {
            const std::lock_guard<std::mutex> lock(lastTextLock);
            lastText = text;
        }
        *result = text.find(L"result=\"true\"") != text.npos ? VARIANT_TRUE : VARIANT_FALSE;
        const std::size_t hr = text.find(L"hr=\"");
        return hr == text.npos ? S_OK
                               : static_cast<HRESULT>(std::wcstoul(&text[hr + 4], nullptr, 16));
    }
    HRESULT STDMETHODCALLTYPE Reserved() override { return S_OK; }

private:
    std::atomic<ULONG> references_{1};
};

// A static factory: references to it count nothing, and it never holds the module.
class Factory final : public IClassFactory {
public:
    explicit constexpr Factory(HRESULT refusal) : refusal_(refusal) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Query(this, iid, {&IID_IUnknown, &IID_IClassFactory}, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer != nullptr || FAILED(refusal_)) {
            return outer != nullptr ? CLASS_E_NOAGGREGATION : refusal_;
        }
        Engine* engine = new (std::nothrow) Engine;
        if (engine == nullptr) {
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = engine->QueryInterface(iid, out);
        engine->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    HRESULT refusal_;
};

Factory engineFactory(S_OK);
Factory refusingFactory(kTestEngineRefusal);

const struct {
    const wchar_t* clsid;
    Factory* factory;
} kClasses[] = {{kTestEngineClass, &engineFactory}, {kRefusingEngineClass, &refusingFactory}};

std::wstring ClassKey(const wchar_t* clsid) {
    return std::wstring(L"CLSID\\") + clsid;
}

} // namespace
} // namespace tarn::test

using namespace tarn::test;

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    wchar_t text[39] = {};
    StringFromGUID2(clsid, text, 39);
    for (const auto& c : kClasses) {
        if (std::wcscmp(text, c.clsid) == 0) {
            return c.factory->QueryInterface(iid, out);
        }
    }
    if (out != nullptr) {
        *out = nullptr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return liveInstances == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    const DWORD length =
        GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
    const wchar_t both[] = L"Both";
    for (const auto& c : kClasses) {
        const std::wstring key = ClassKey(c.clsid) + L"\\InprocServer32";
        LSTATUS status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, path,
                                         (length + 1) * sizeof(wchar_t));
        if (status == ERROR_SUCCESS) {
            status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"ThreadingModel", REG_SZ,
                                     both, sizeof(both));
        }
        if (status != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(status);
        }
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    for (const auto& c : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(c.clsid).c_str());
    }
    return S_OK;
}

LONG TestEngineLiveInstances() {
    return liveInstances;
}

BSTR TestEngineLastText() {
    const std::lock_guard<std::mutex> lock(lastTextLock);
    return SysAllocStringLen(lastText.data(), static_cast<UINT>(lastText.size()));
}

} // extern "C"
