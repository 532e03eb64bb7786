// The file and shortcut rules through the component itself (KpxTarnRuleProvider.dll loaded by
// path) on the live machine. The test makes its own tree in the common application data
// folder: copies of the resource-only DLLs built beside it (files/versioned.rc), shortcuts
// saved by the shell, and advertised shortcuts of the installer tests' products written byte by
// byte, since nothing but the installer makes those.
#include "support/componentlog.h"
#include "support/provider.h"
#include "support/shortcuts.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <winioctl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace tarn {
namespace {

namespace fs = std::filesystem;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // the paths here are ASCII
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, path);
    return path;
}

std::wstring BuiltFile(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).replace_filename(L"rule-file-" + std::wstring(name) + L".dll");
}

std::string Shown(HRESULT hr, VARIANT_BOOL result) {
    char text[40];
    std::snprintf(text, sizeof text, "hr 0x%08lX, result %d", static_cast<unsigned long>(hr),
                  result);
    return text;
}

struct Case {
    std::wstring rule;
    HRESULT hr;
    // The first lines of the records reported under "KpxTarnRuleProviderInterface", each
    // "<severity> <start of the message>".
    std::vector<std::string> reports = {};
};

const char* const kNotFound = "4 File existence check failed.  Local file not found!";
const char* const kNoVersion =
    "2 File version comparison failed.  Local file contains no version information!";
const char* const kUnreadable =
    "2 File version comparison failed.  Can't get file version information!";
const std::string kWildcard = "8 File existence wildcard check succeeded. File found: ";

std::wstring File(const std::wstring& path, const std::wstring& condition = L"", int csidl = 255) {
    return L"<SRFileVersion Csidl='" + std::to_wstring(csidl) + L"' Path='" + path + L"' " +
           condition + L"/>";
}

std::wstring Shortcut(const std::wstring& path, const std::wstring& more = L"") {
    return L"<TargetOfShortcut Path='" + path + L"' " + more + L"/>";
}

class FileAndShortcutRules : public testing::Test {
protected:
    // The tree, with a trailing backslash; %TARN_RULE_FILES% names it without.
    static inline const std::wstring kName =
        L"TarnRuleFiles" + std::to_wstring(GetCurrentProcessId());
    static inline const std::wstring root_ = Folder(CSIDL_COMMON_APPDATA) + L"\\" + kName + L"\\";

    static void SetUpTestSuite() {
        const test::ComScope com;
        for (const auto* directory : {L"apps\\toolbox", L"vendor\\VendorOne", L"net"}) {
            fs::create_directories(root_ + directory);
        }
        wchar_t user[256] = {};
        GetEnvironmentVariableW(L"USERNAME", user, 256);
        const struct {
            const wchar_t* built;
            std::wstring name;
        } copies[] = {{L"1_0_0_0", L"v1.dll"},
                      {L"2_0_0_0", L"v2.dll"},
                      {L"2_5_3_1", L"v253.dll"},
                      {L"unversioned", L"plain.dll"},
                      {L"notranslation", L"notrans.dll"},
                      {L"2_0_0_0", L"apps\\tool_a.exe"},
                      {L"2_0_0_0", L"apps\\tool_b.exe"},
                      {L"2_0_0_0", L"net\\v2.dll"},
                      {L"2_0_0_0", L"gone.dll"},
                      {L"2_0_0_0", std::wstring(user) + L".dll"}};
        for (const auto& copy : copies) {
            fs::copy_file(BuiltFile(copy.built), root_ + copy.name);
        }
        SetEnvironmentVariableW(L"TARN_RULE_FILES", root_.substr(0, root_.size() - 1).c_str());
        ASSERT_EQ(test::SaveShellShortcut(root_ + L"file.lnk", root_ + L"v1.dll"), S_OK);
        ASSERT_EQ(test::SaveShellShortcut(root_ + L"folder.lnk", root_ + L"apps"), S_OK);
        ASSERT_EQ(test::SaveShellShortcut(root_ + L"gone.lnk", root_ + L"gone.dll"), S_OK);
        fs::remove(root_ + L"gone.dll");
        ASSERT_TRUE(test::WriteAdvertisedShortcut(root_ + L"installed.lnk", L"" TARN_MSI_OLD,
                                                  L"" TARN_MSI_OLD_COMPONENT));
        ASSERT_TRUE(test::WriteAdvertisedShortcut(root_ + L"never.lnk", L"" TARN_MSI_NEVER,
                                                  L"" TARN_MSI_NEVER_COMPONENT));
        // The installed product, with a component that it does not have.
        ASSERT_TRUE(test::WriteAdvertisedShortcut(root_ + L"foreign.lnk", L"" TARN_MSI_OLD,
                                                  L"" TARN_MSI_NEVER_COMPONENT));
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }

    void Check(const std::vector<Case>& cases) const {
        for (const Case& c : cases) {
            const test::ComponentLogSince log;
            const test::Answer answer =
                test::Evaluate(provider_.Get(), L"<ruleset>" + c.rule + L"</ruleset>");
            EXPECT_EQ(Shown(answer.hr, answer.result),
                      Shown(c.hr, c.hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE))
                << Narrow(c.rule);
            // Each record as far as the expected start, when it has that start.
            std::vector<std::string> reports = log.From("KpxTarnRuleProviderInterface");
            for (std::size_t i = 0; i < reports.size() && i < c.reports.size(); ++i) {
                if (reports[i].starts_with(c.reports[i])) {
                    reports[i] = c.reports[i];
                }
            }
            EXPECT_EQ(reports, c.reports) << Narrow(c.rule);
        }
    }

private:
    test::ComScope com_;
    test::ProviderDll dll_;
    ComPtr<IInventoryRuleProvider> provider_ = dll_.Create();
};

TEST_F(FileAndShortcutRules, FilesVersionsAndWildcards) {
    const std::wstring& r = root_;
    const std::string found = kWildcard + Narrow(r);
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    // The installer tests' product, in the program folder of this build's width; in the WOW64
    // case folder 38 is the native one, from %ProgramW6432%.
    const std::wstring readme = L"TarnTestPackages\\TarnFamilyOld\\readme.txt";
    Check({
        {File(r + L"v1.dll"), S_OK},
        {File(L"%TARN_RULE_FILES%\\v253.dll", L"Comparison='SAME' version='2.5.3.1'"), S_OK},
        {File(kName + L"\\v253.dll", L"Comparison='HIGHER' version='2.5.3'", CSIDL_COMMON_APPDATA),
         S_OK},
        {File(r + L"v253.dll", L"Comparison='LOWER' version='2.5.3.1'"), S_FALSE},
        {File(r + L"v2.dll", L"Comparison='BETWEEN' version='2.0' versionLower='1.0'"), S_OK},
        {File(r + L"v1.dll", L"Comparison='BETWEEN' version='2.0' versionLower='1.0.0.1'"),
         S_FALSE},
        {File(r + L"missing.dll"), S_FALSE, {kNotFound}},
        {File(r + L"plain.dll"), S_OK},
        {File(r + L"plain.dll", L"Comparison='HIGHER' version='0'"), S_FALSE, {kNoVersion}},
        {File(r + L"notrans.dll", L"Comparison='HIGHER' version='0'"), S_FALSE, {kUnreadable}},
        {File(r + L"notrans.dll"), S_OK},
        // Several files match; whichever comes first is version 2.0.
        {File(r + L"apps\\tool*.exe", L"Comparison='SAME' version='2.0'"),
         S_OK,
         {found + "apps\\tool_"}},
        // The directory toolbox matches too, and a file wins over it.
        {File(r + L"apps\\tool*", L"Comparison='SAME' version='2.0'"),
         S_OK,
         {found + "apps\\tool_"}},
        {File(r + L"apps\\toolb?x"), S_OK, {found + "apps\\toolbox"}},
        {File(r + L"vendor\\Vendor*"), S_OK, {found + "vendor\\VendorOne"}},
        {File(r + L"vendor\\Vendor*", L"Comparison='HIGHER' version='0'"),
         S_FALSE,
         {found + "vendor\\VendorOne", kNoVersion}},
        {File(r + L"ap*\\tool_a.exe"), S_FALSE, {kNotFound}},
        {File(r + L"apps"), S_OK},
        {File(readme, L"", CSIDL_PROGRAM_FILES), wow64 ? S_FALSE : S_OK,
         wow64 ? std::vector<std::string>{kNotFound} : std::vector<std::string>{}},
        {File(readme, L"", CSIDL_PROGRAM_FILESX86), wow64 ? S_OK : S_FALSE,
         wow64 ? std::vector<std::string>{} : std::vector<std::string>{kNotFound}},
    });
}

TEST_F(FileAndShortcutRules, ShortcutTargets) {
    const std::wstring& r = root_;
    Check({
        {Shortcut(r + L"file.lnk"), S_OK},
        {Shortcut(r + L"folder.lnk"), S_OK},
        {Shortcut(r + L"gone.lnk"), S_FALSE},
        {Shortcut(kName + L"\\file.lnk", L"Csidl='35'"), S_OK},
        // The path is not expanded.
        {Shortcut(L"%TARN_RULE_FILES%\\file.lnk"), S_FALSE},
        {Shortcut(r + L"v1.dll"), S_FALSE},
        {Shortcut(r + L"installed.lnk"), S_OK},
        {Shortcut(r + L"never.lnk"), S_FALSE},
        {Shortcut(r + L"foreign.lnk"), S_FALSE},
    });
}

// Wine's mount manager defines drives on request, as its configuration program does; a drive of
// type DRIVE_REMOTE is what Windows has for a mapped network share. An empty path removes it.
bool DefineWineDrive(wchar_t letter, UINT type, const std::string& unixPath) {
    struct Request {
        ULONG size, type, fileSystem;
        DWORD serial;
        ULONGLONG device;
        WCHAR letter;
        USHORT mountPoint, devicePath, label;
    };
    static_assert(sizeof(Request) == 32, "the layout of Wine's request, the same in both widths");
    std::vector<ULONGLONG> storage((sizeof(Request) + unixPath.size() + 8) / 8);
    auto* request = reinterpret_cast<Request*>(storage.data());
    request->size = static_cast<ULONG>(sizeof(Request) + unixPath.size() + 1);
    request->type = type;
    request->letter = letter;
    if (!unixPath.empty()) {
        request->mountPoint = sizeof(Request);
        std::memcpy(request + 1, unixPath.c_str(), unixPath.size());
    }
    const HANDLE manager =
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned = 0;
    const BOOL defined = DeviceIoControl(
        manager, CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS), request,
        request->size, nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return defined != FALSE;
}

std::string UnixPath(const std::wstring& path) {
    using Convert = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = convert != nullptr ? convert(path.c_str()) : nullptr;
    const std::string result = unix != nullptr ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

TEST_F(FileAndShortcutRules, NoVersionsOverTheNetworkWhenTheSwitchIsSet) {
    wchar_t letter = L'N';
    while (GetLogicalDrives() & (1u << (letter - L'A'))) {
        ++letter;
    }
    const std::wstring drive = std::wstring(1, letter) + L":\\";
    ASSERT_TRUE(DefineWineDrive(letter, DRIVE_REMOTE, UnixPath(root_ + L"net")));
    EXPECT_EQ(GetDriveTypeW(drive.c_str()), static_cast<UINT>(DRIVE_REMOTE));
    const std::wstring version = File(drive + L"v2.dll", L"Comparison='SAME' version='2.0'");
    Check({{version, S_OK}, {File(drive + L"v2.dll"), S_OK}});

    const wchar_t* const kSwitch = L"SOFTWARE\\Orvanta\\Orvanta Agent\\NO_VERSION_OVER_NETWORK";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSwitch, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    Check({{version, S_FALSE, {kUnreadable}},
           {File(drive + L"v2.dll"), S_OK},
           {File(root_ + L"v2.dll", L"Comparison='SAME' version='2.0'"), S_OK}});
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSwitch), ERROR_SUCCESS);
    EXPECT_TRUE(DefineWineDrive(letter, 0, ""));
}

TEST_F(FileAndShortcutRules, FoldersAndPlaceholdersOfAnImpersonatingThread) {
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    Check({
        {File(kName + L"\\%USERNAME%.dll", L"Comparison='SAME' version='2.0'",
              CSIDL_COMMON_APPDATA),
         S_OK},
        {File(kName + L"\\%TARN_NO_SUCH_VARIABLE%.dll", L"", CSIDL_COMMON_APPDATA),
         S_FALSE,
         {kNotFound}},
    });
    RevertToSelf();
}

// Files that claim to be what they are not, and paths no file system has: an answer each, no
// crash, no hang, nothing written past a fixed buffer of the component.
TEST_F(FileAndShortcutRules, HostileFilesAndPaths) {
    const std::wstring& r = root_;
    std::string image;
    std::ifstream whole(fs::path(BuiltFile(L"2_0_0_0")), std::ios::binary);
    image.assign(std::istreambuf_iterator<char>(whole), {});
    // The version resource's own length fields, then its half and its header alone.
    std::string corrupt = image;
    const std::size_t info = corrupt.find(std::string("V\0S\0_\0V\0E\0R", 11));
    ASSERT_NE(info, std::string::npos);
    corrupt.replace(info - 6, 4, "\xFF\x7F\xFF\x7F");
    std::srand(7);
    std::string noise(4096, '\0');
    for (char& c : noise) {
        c = static_cast<char>(std::rand());
    }
    const struct {
        const wchar_t* name;
        std::string bytes;
    } files[] = {{L"corrupt.dll", corrupt},
                 {L"half.dll", image.substr(0, image.size() / 2)},
                 {L"header.dll", image.substr(0, 64)},
                 {L"empty.lnk", ""},
                 {L"noise.lnk", noise},
                 {L"truncated.lnk", image.substr(0, 0x4C)}};
    for (const auto& file : files) {
        std::ofstream(fs::path(r + file.name), std::ios::binary) << file.bytes;
    }
    ASSERT_EQ(test::SaveShellShortcut(r + L"self.lnk", r + L"self.lnk"), S_OK);
    const std::wstring versioned = L"Comparison='HIGHER' version='0'";
    const std::wstring longPath = r + std::wstring(32000, L'a') + L"\\v1.dll";
    Check({
        {File(r + L"corrupt.dll", versioned), S_FALSE, {kUnreadable}},
        {File(r + L"half.dll", versioned), S_FALSE, {kNoVersion}},
        {File(r + L"header.dll", versioned), S_FALSE, {kNoVersion}},
        {File(longPath, versioned), S_FALSE, {kNotFound}},
        {File(L"\\\\?\\" + r + L"v1.dll", versioned), S_OK},
        {File(L"\\\\localhost\\nowhere\\v1.dll"), S_FALSE, {kNotFound}},
        {File(r + L"v1.dll. . "), S_OK},
        {File(L"*"), S_FALSE, {kNotFound}},
        {File(L"\\\\\\\\"), S_FALSE, {kNotFound}},
        {File(L"v1.dll", L"", 0), S_FALSE, {kNotFound}},
        {L"<SRFileVersion Csidl='99999999999' Path='" + r + L"v1.dll'/>", S_OK},
        {L"<SRFileVersion Csidl='-1' Path='" + r + L"v1.dll'/>", S_OK},
        {Shortcut(r + L"empty.lnk"), S_FALSE},
        {Shortcut(r + L"noise.lnk"), S_FALSE},
        {Shortcut(r + L"truncated.lnk"), S_FALSE},
        {Shortcut(r + L"self.lnk"), S_OK},
        {Shortcut(longPath), S_FALSE},
    });
}

} // namespace
} // namespace tarn
