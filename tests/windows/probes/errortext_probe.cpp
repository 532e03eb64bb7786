// Loads errortext_probe.dll (first argument) and prints, one line each, what it answers:
//   agent                      "<library loaded 0|1> <error>"
//   text <hex> <options> <lang> the text, UTF-8
//   mkdir <path>               creates it, logging a failure
//   lasterror <code>           the last-error code after GetLastErrorText
//   unload                     "<agent library mapped 0|1> <still mapped after FreeLibrary 0|1>"
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cwchar>

namespace {

bool Mapped(void* module) {
    wchar_t name[MAX_PATH];
    const auto base = reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3};
    return module != nullptr &&
           GetMappedFileNameW(GetCurrentProcess(), reinterpret_cast<void*>(base), name, MAX_PATH) !=
               0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    HMODULE dll = argc > 1 ? LoadLibraryW(argv[1]) : nullptr;
    if (dll == nullptr) {
        return 2;
    }
    auto text = reinterpret_cast<void (*)(DWORD, DWORD, WORD, wchar_t*, int)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "ProbeText")));
    auto agent = reinterpret_cast<void* (*)(DWORD*)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "ProbeAgentLibrary")));
    auto mkdir = reinterpret_cast<void (*)(const wchar_t*)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "ProbeMakeDirectory")));
    auto lastError = reinterpret_cast<DWORD (*)(DWORD)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "ProbeLastErrorText")));
    for (int i = 2; i < argc; ++i) {
        DWORD error = 0;
        if (std::wcscmp(argv[i], L"agent") == 0) {
            const bool loaded = agent(&error) != nullptr;
            std::printf("%d %lu\n", loaded ? 1 : 0, error);
        } else if (std::wcscmp(argv[i], L"text") == 0 && i + 3 < argc) {
            wchar_t out[4096];
            text(std::wcstoul(argv[i + 1], nullptr, 16), std::wcstoul(argv[i + 2], nullptr, 10),
                 static_cast<WORD>(std::wcstoul(argv[i + 3], nullptr, 10)), out, 4096);
            char utf8[8192];
            WideCharToMultiByte(CP_UTF8, 0, out, -1, utf8, sizeof utf8, nullptr, nullptr);
            std::printf("%s\n", utf8);
            i += 3;
        } else if (std::wcscmp(argv[i], L"mkdir") == 0 && i + 1 < argc) {
            mkdir(argv[++i]);
        } else if (std::wcscmp(argv[i], L"lasterror") == 0 && i + 1 < argc) {
            std::printf("%lu\n", lastError(std::wcstoul(argv[++i], nullptr, 10)));
        } else if (std::wcscmp(argv[i], L"unload") == 0) {
            void* module = agent(&error);
            const bool before = Mapped(module);
            FreeLibrary(dll);
            std::printf("%d %d\n", before ? 1 : 0, Mapped(module) ? 1 : 0);
            return 0;
        }
        std::fflush(stdout);
    }
    return 0;
}
