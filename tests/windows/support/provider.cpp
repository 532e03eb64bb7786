#include "support/provider.h"

#include "utility/platform/bstr.h"
#include "utility/platform/registrykey.h"

#include <algorithm>
#include <stdexcept>

#ifndef TARN_PROVIDER_DIR
#error "TARN_PROVIDER_DIR names the component's build output"
#endif

namespace tarn::test {

namespace {

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), text.size()));
        return text;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        return L"dword:" + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    }
    return L"type:" + std::to_wstring(type);
}

void AddValues(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        std::vector<BYTE> data(65536);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            return;
        }
        const std::wstring shown = nameLength == 0 ? L"(default)" : std::wstring(name, nameLength);
        lines.push_back(path + L"|" + shown + L"|" + ValueText(type, data, size));
    }
}

bool Open(RegistryKey& key, HKEY root, const std::wstring& path) {
    return key.Open(root, U16(path.c_str()), KEY_READ);
}

void AddTree(HKEY root, const std::wstring& path, std::vector<std::wstring>& lines) {
    RegistryKey key;
    if (!Open(key, root, path)) {
        return;
    }
    lines.push_back(path);
    AddValues(key.Get(), path, lines);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        AddTree(root, path + L"\\" + std::wstring(name, length), lines);
    }
}

// A path of the build machine as Wine's drive Z: shows it.
std::wstring WindowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c != '\0'; ++c) {
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return path;
}

} // namespace

std::wstring ProviderDirectory() {
    return WindowsPath(TARN_PROVIDER_DIR) + L"\\";
}

std::wstring ProviderDllPath() {
    return ProviderDirectory() + L"KpxTarnRuleProvider.dll";
}

ProviderDll::ProviderDll() {
    const std::wstring path = ProviderDllPath();
    if (!library_.Load(reinterpret_cast<const char16_t*>(path.c_str()))) {
        throw std::runtime_error("KpxTarnRuleProvider.dll cannot be loaded, error " +
                                 std::to_string(GetLastError()));
    }
}

template <class Function>
Function ProviderDll::Export(const char* name) const {
    const Function function = library_.FindFunction<Function>(name);
    if (function == nullptr) {
        throw std::runtime_error(std::string("no export ") + name);
    }
    return function;
}

using ClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using ServerFunction = HRESULT(WINAPI*)();

HRESULT ProviderDll::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
    return Export<ClassObjectFunction>("DllGetClassObject")(clsid, iid, out);
}

HRESULT ProviderDll::CanUnloadNow() const {
    return Export<ServerFunction>("DllCanUnloadNow")();
}

HRESULT ProviderDll::RegisterServer() const {
    return Export<ServerFunction>("DllRegisterServer")();
}

HRESULT ProviderDll::UnregisterServer() const {
    return Export<ServerFunction>("DllUnregisterServer")();
}

ComPtr<IInventoryRuleProvider> ProviderDll::Create() const {
    ComPtr<IClassFactory> factory;
    ComPtr<IInventoryRuleProvider> provider;
    if (SUCCEEDED(GetClassObject(kProviderClassId, IID_IClassFactory, factory.OutVoid()))) {
        factory->CreateInstance(nullptr, kInventoryRuleProviderId, provider.OutVoid());
    }
    return provider;
}

std::vector<std::wstring> RegistryTree(HKEY root, const std::wstring& key) {
    std::vector<std::wstring> lines;
    AddTree(root, key, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool KeyExists(HKEY root, const std::wstring& key) {
    RegistryKey handle;
    return Open(handle, root, key);
}

Answer Evaluate(IInventoryRuleProvider* provider, const std::wstring& document) {
    const Bstr text = Bstr::Copy(
        std::u16string_view(reinterpret_cast<const char16_t*>(document.data()), document.size()));
    Answer answer{S_OK, 0x5555};
    answer.hr = provider->EvaluateRules(text.Get(), &answer.result);
    return answer;
}

} // namespace tarn::test
