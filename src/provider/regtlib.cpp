// tarn-regtlib: registers or unregisters a type library file.
//
//   tarn-regtlib FILE.tlb       registers the library (its interfaces included)
//   tarn-regtlib /u FILE.tlb    removes that registration
//
// On a real machine the host agent registers its own InventoryRuleAgent.tlb; tests and the
// demo register our stand-in for it with this tool.
#include "provider/typelibrary.h"
#include "utility/platform/comptr.h"

#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

using tarn::ComPtr;

std::wstring FullPath(const wchar_t* path) {
    const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path, needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return full.empty() ? std::wstring(path) : full;
}

int Run(bool unregister, const wchar_t* file) {
    const std::wstring path = FullPath(file);
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out());
    if (SUCCEEDED(hr)) {
        hr = unregister ? tarn::provider::UnregisterTypeLibrary(library.Get())
                        : tarn::provider::RegisterTypeLibrary(library.Get(), path.c_str());
    }
    if (FAILED(hr)) {
        std::fwprintf(stderr, L"tarn-regtlib: %ls: 0x%08lX\n", path.c_str(),
                      static_cast<unsigned long>(hr));
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool unregister =
        argc == 3 && (std::wcscmp(argv[1], L"/u") == 0 || std::wcscmp(argv[1], L"-u") == 0);
    if (argc != (unregister ? 3 : 2)) {
        std::fputws(L"usage: tarn-regtlib [/u] FILE.tlb\n", stderr);
        return 2;
    }
    return Run(unregister, argv[argc - 1]);
}
