// Loads the component with TEMP and TMP set to its second argument and writes what the load
// left, one "name=value" line each; then frees it, changes TEMP, loads it again and writes TEMP
// once more.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Variable(const std::wstring& name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 1024);
    return length < 1024 ? std::wstring(value, length) : L"(too long)";
}

void Say(const char* name, const std::wstring& value) {
    std::printf("%s=%ls\n", name, value.c_str());
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 2;
    }
    SetEnvironmentVariableW(L"TEMP", argv[2]);
    SetEnvironmentVariableW(L"TMP", argv[2]);
    HMODULE component = LoadLibraryW(argv[1]);
    if (component == nullptr) {
        return 3;
    }
    const std::wstring marker =
        L"Kpx_{A4597EF2-B2F1-4954-A2FF-A65C393439AF}_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring file = Variable(L"TEMP") + L"\\" + marker + L".tmp";
    Say("TEMP", Variable(L"TEMP"));
    Say("TMP", Variable(L"TMP"));
    Say("marker", Variable(marker));
    Say("file", file);
    Say("fileExists", GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES ? L"yes" : L"no");

    SetEnvironmentVariableW(L"TEMP", L"C:\\elsewhere");
    FreeLibrary(component);
    component = LoadLibraryW(argv[1]);
    Say("secondTEMP", component != nullptr ? Variable(L"TEMP") : L"(not loaded)");
    return 0;
}
