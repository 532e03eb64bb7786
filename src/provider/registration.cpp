#include "provider/registration.h"

#include "provider/modulefile.h"
#include "provider/registrytable.h"
#include "provider/typelibrary.h"
#include "utility/log/comerror.h"
#include "utility/platform/comptr.h"
#include "utility/platform/registrykey.h"

#include <oleauto.h>

#include <iterator>
#include <new>
#include <span>

namespace tarn::provider {

namespace {

constexpr LCID kSystemDefaultLocale = 0x0800;

class ThreadLocaleScope {
public:
    explicit ThreadLocaleScope(LCID locale) noexcept : saved_(GetThreadLocale()) {
        SetThreadLocale(locale);
    }
    ThreadLocaleScope(const ThreadLocaleScope&) = delete;
    ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;
    ~ThreadLocaleScope() { SetThreadLocale(saved_); }

private:
    LCID saved_;
};

const wchar_t* Wide(const std::u16string& text) noexcept {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

HRESULT FromStatus(LSTATUS status) noexcept {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// The first subkey of `key` into `name`: ERROR_NO_MORE_ITEMS when it has none.
LSTATUS FirstSubkey(const std::u16string& key, char16_t (&name)[256]) {
    RegistryKey opened;
    if (!opened.Open(HKEY_CLASSES_ROOT, key.c_str(), KEY_ENUMERATE_SUB_KEYS)) {
        return static_cast<LSTATUS>(GetLastError());
    }
    DWORD length = std::size(name);
    return RegEnumKeyExW(opened.Get(), 0, reinterpret_cast<wchar_t*>(name), &length, nullptr,
                         nullptr, nullptr, nullptr);
}

// Deletes `key` with everything below it, deepest keys first, without recursion (Windows XP
// has no RegDeleteTreeW); a key that is not there is not a failure.
HRESULT DeleteTree(const std::u16string& key) {
    std::u16string current = key;
    for (;;) {
        char16_t child[256]; // a key name has at most 255 characters
        LSTATUS status = FirstSubkey(current, child);
        if (status == ERROR_SUCCESS) {
            current.append(1, u'\\').append(child);
            continue;
        }
        if (status == ERROR_NO_MORE_ITEMS) {
            status = RegDeleteKeyW(HKEY_CLASSES_ROOT, Wide(current));
        }
        if (status == ERROR_FILE_NOT_FOUND && current.size() == key.size()) {
            return S_OK;
        }
        if (status != ERROR_SUCCESS || current.size() == key.size()) {
            return FromStatus(status);
        }
        current.resize(current.rfind(u'\\'));
    }
}

HRESULT WriteEntry(const std::u16string& key, const char16_t* valueName,
                   const std::u16string* data) {
    RegistryKey opened;
    if (!opened.Create(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_SET_VALUE)) {
        return LastErrorHresult();
    }
    if (data == nullptr) {
        return S_OK;
    }
    const auto bytes = static_cast<DWORD>((data->size() + 1) * sizeof(char16_t));
    return FromStatus(RegSetValueExW(opened.Get(), reinterpret_cast<const wchar_t*>(valueName), 0,
                                     REG_SZ, reinterpret_cast<const BYTE*>(data->c_str()), bytes));
}

HRESULT Expand(const Replacements& values, const char16_t* text, std::u16string& out) {
    return values.Expand(text, out) ? S_OK : E_INVALIDARG;
}

// Deletes each key, expanded, with everything below it.
HRESULT DeleteKeys(std::span<const char16_t* const> keys, const Replacements& values) {
    std::u16string key;
    for (const char16_t* text : keys) {
        HRESULT hr = Expand(values, text, key);
        hr = SUCCEEDED(hr) ? DeleteTree(key) : hr;
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT WriteScript(const RegistrationScript& script, const Replacements& values) {
    const HRESULT deleted = DeleteKeys(script.replacedKeys, values);
    if (FAILED(deleted)) {
        return deleted;
    }
    std::u16string key;
    std::u16string data;
    for (const RegistryEntry& entry : script.entries) {
        HRESULT hr = Expand(values, entry.key, key);
        if (SUCCEEDED(hr) && entry.data != nullptr) {
            hr = Expand(values, entry.data, data);
        }
        hr = SUCCEEDED(hr) ? WriteEntry(key, entry.valueName, entry.data ? &data : nullptr) : hr;
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT RemoveScript(const RegistrationScript& script, const Replacements& values) {
    return DeleteKeys(script.removedKeys, values);
}

// Runs a script with the values the module offers to every script.
HRESULT RunScript(const RegistrationScript& script, bool registering, ModuleFile& module) {
    std::u16string path;
    HRESULT hr = module.Path(path);
    if (FAILED(hr)) {
        return hr;
    }
    // The two values every script gets besides the module's own: the module file's path.
    Replacements values;
    hr = values.Add(u"Module", path);
    hr = SUCCEEDED(hr) ? values.Add(u"Module_Raw", path) : hr;
    hr = SUCCEEDED(hr) ? AddModuleReplacements(module, values) : hr;
    if (FAILED(hr)) {
        return hr;
    }
    return registering ? WriteScript(script, values) : RemoveScript(script, values);
}

HRESULT LoadOwnTypeLibrary(ModuleFile& module, std::u16string& path, ComPtr<ITypeLib>& library) {
    const HRESULT hr = module.Path(path);
    if (FAILED(hr)) {
        return hr;
    }
    return LoadTypeLibEx(Wide(path), REGKIND_NONE, library.Out());
}

HRESULT RegisterOwnTypeLibrary(ModuleFile& module) {
    std::u16string path;
    ComPtr<ITypeLib> library;
    const HRESULT hr = LoadOwnTypeLibrary(module, path, library);
    return SUCCEEDED(hr) ? RegisterTypeLibrary(library.Get(), Wide(path)) : hr;
}

HRESULT UnregisterOwnTypeLibrary(ModuleFile& module) {
    std::u16string path;
    ComPtr<ITypeLib> library;
    const HRESULT hr = LoadOwnTypeLibrary(module, path, library);
    return SUCCEEDED(hr) ? UnregisterTypeLibrary(library.Get()) : hr;
}

HRESULT Register(ModuleFile& module) {
    HRESULT hr = RunScript(AppIdScript(), true, module);
    hr = SUCCEEDED(hr) ? RunScript(ClassScript(), true, module) : hr;
    return SUCCEEDED(hr) ? RegisterOwnTypeLibrary(module) : hr;
}

HRESULT Unregister(ModuleFile& module) {
    HRESULT hr = RunScript(ClassScript(), false, module);
    hr = SUCCEEDED(hr) ? UnregisterOwnTypeLibrary(module) : hr;
    return SUCCEEDED(hr) ? RunScript(AppIdScript(), false, module) : hr;
}

template <class Step>
HRESULT Guarded(HMODULE instance, Step step) noexcept {
    const ThreadLocaleScope locale(kSystemDefaultLocale);
    try {
        LiveModuleFile module(instance);
        return step(module);
    } catch (const _com_error& e) {
        return e.Error();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace

HRESULT RegisterServer(HMODULE module) noexcept {
    return Guarded(module, Register);
}

HRESULT UnregisterServer(HMODULE module) noexcept {
    return Guarded(module, Unregister);
}

} // namespace tarn::provider
