// The component as the Windows tests meet it: its build output, its exports called directly,
// COM in the multithreaded apartment, and registry snapshots.
#pragma once

#include "utility/platform/comptr.h"
#include "utility/platform/libraryhandle.h"

#include "inventoryruleagent.h"

#include <objbase.h>
#include <windows.h>

#include <string>
#include <vector>

namespace tarn::test {

// Where the build put KpxTarnRuleProvider.dll and InventoryRuleAgent.tlb, with a trailing
// backslash (the build tree as Wine's drive Z: shows it).
std::wstring ProviderDirectory();
std::wstring ProviderDllPath();

inline constexpr CLSID kProviderClassId = {
    0xDF407668, 0xEC52, 0x4582, {0x8C, 0x1D, 0x0C, 0x4D, 0x73, 0xE9, 0x53, 0x0E}};
inline constexpr IID kInventoryRuleProviderId = {
    0xF45AC2E4, 0x9ABD, 0x48B3, {0x86, 0xA8, 0x11, 0x15, 0x65, 0xDB, 0x5F, 0x85}};

// The DLL loaded by path, with its four exports.
class ProviderDll {
public:
    ProviderDll();
    ProviderDll(const ProviderDll&) = delete;
    ProviderDll& operator=(const ProviderDll&) = delete;

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;
    // A new provider object through the DLL's own class factory.
    ComPtr<IInventoryRuleProvider> Create() const;

private:
    template <class Function>
    Function Export(const char* name) const;

    LibraryHandle library_;
};

// COM for the calling thread, in the multithreaded apartment.
class ComScope {
public:
    ComScope() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() { CoUninitialize(); }
};

// Every key and value of a registry tree, one line each ("key" or "key|name|data" with the
// key relative to `root`), sorted; empty when the key does not exist.
std::vector<std::wstring> RegistryTree(HKEY root, const std::wstring& key);
bool KeyExists(HKEY root, const std::wstring& key);

// The HRESULT and answer of one evaluation.
struct Answer {
    HRESULT hr;
    VARIANT_BOOL result;
    bool operator==(const Answer&) const = default;
};
Answer Evaluate(IInventoryRuleProvider* provider, const std::wstring& document);

} // namespace tarn::test
