// Error texts inside a module of their own, as the component has them, for errortext_probe.
#include "utility/log/errortext.h"
#include "utility/platform/longpath.h"
#include "utility/platform/messagelibraries.h"

#include <windows.h>

extern "C" __declspec(dllexport) void ProbeText(DWORD code, DWORD options, WORD language,
                                                wchar_t* out, int size) {
    lstrcpynW(out, reinterpret_cast<const wchar_t*>(GetErrorText(code, options, language).c_str()),
              size);
}

extern "C" __declspec(dllexport) void* ProbeAgentLibrary(DWORD* error) {
    *error = tarn::AgentExtensionLibrary::Instance().Error();
    return tarn::AgentExtensionLibrary::Instance().Module();
}

extern "C" __declspec(dllexport) void ProbeMakeDirectory(const wchar_t* path) {
    tarn::paths::CreateDirectoryPath(reinterpret_cast<const char16_t*>(path), nullptr, true);
}

extern "C" __declspec(dllexport) DWORD ProbeLastErrorText(DWORD code) {
    SetLastError(code);
    GetLastErrorText();
    return GetLastError();
}
