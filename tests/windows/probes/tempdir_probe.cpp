// Loads the component (first argument) with TEMP and TMP set to the second argument and writes
// "name=value" lines of what the load left; then loads it again after changing TEMP.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Variable(const std::wstring& name) {
    wchar_t value[1024] = {};
    return std::wstring(value, GetEnvironmentVariableW(name.c_str(), value, 1023));
}

void Say(const char* name, const std::wstring& value) {
    std::printf("%s=%ls\n", name, value.c_str());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || !SetEnvironmentVariableW(L"TEMP", argv[2]) ||
        !SetEnvironmentVariableW(L"TMP", argv[2]) || LoadLibraryW(argv[1]) == nullptr) {
        return 2;
    }
    const std::wstring file = Variable(L"TEMP") + L"\\Kpx_{A4597EF2-B2F1-4954-A2FF-A65C393439AF}_" +
                              std::to_wstring(GetCurrentProcessId());
    Say("TEMP", Variable(L"TEMP"));
    Say("TMP", Variable(L"TMP"));
    Say("marker", Variable(file.substr(file.rfind(L'\\') + 1)));
    Say("file", file + L".tmp");
    Say("fileExists",
        GetFileAttributesW((file + L".tmp").c_str()) != INVALID_FILE_ATTRIBUTES ? L"yes" : L"no");

    SetEnvironmentVariableW(L"TEMP", L"C:\\elsewhere");
    const HMODULE component = GetModuleHandleW(argv[1]);
    FreeLibrary(component);
    Say("unloaded", GetModuleHandleW(argv[1]) == nullptr ? L"yes" : L"no");
    Say("secondTEMP", LoadLibraryW(argv[1]) != nullptr ? Variable(L"TEMP") : L"(not loaded)");
    return 0;
}
