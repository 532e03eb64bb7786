// Folder numbers and placeholders answered by the live machine: the shell's folders, the
// width rules of this build (x86_64 in the 64-bit prefix, i686 under WOW64) and the process's
// environment.
#include "rules/folders.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <string>

namespace tarn::rules {
namespace {

std::u16string Shell(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, path))
               ? std::u16string(reinterpret_cast<const char16_t*>(path))
               : std::u16string();
}

std::u16string Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return reinterpret_cast<const char16_t*>(value);
}

TEST(LiveFolders, ShellFoldersAndTheProgramFilesOfThisWidth) {
    Machine& live = LiveMachine();
    EXPECT_EQ(GetSystemFolderPath(live, CSIDL_WINDOWS), Variable(L"SystemRoot"));
    EXPECT_EQ(GetSystemFolderPath(live, 9999), u"");
    const bool wow64 = sizeof(void*) == 4 && live.Is64BitOS();
    // Under WOW64 the shell answers the x86 folder for 38; the rule wants the native one.
    EXPECT_EQ(GetSystemFolderPath(live, CSIDL_PROGRAM_FILES),
              wow64 ? Variable(L"ProgramW6432") : Shell(CSIDL_PROGRAM_FILES));
    EXPECT_EQ(GetSystemFolderPath(live, CSIDL_PROGRAM_FILES_COMMON),
              wow64 ? Variable(L"CommonProgramW6432") : Shell(CSIDL_PROGRAM_FILES_COMMON));
    EXPECT_EQ(GetSystemFolderPath(live, CSIDL_PROGRAM_FILESX86), Shell(CSIDL_PROGRAM_FILESX86));
    if (wow64) {
        EXPECT_NE(GetSystemFolderPath(live, CSIDL_PROGRAM_FILES), Shell(CSIDL_PROGRAM_FILES));
    }
}

TEST(LiveFolders, PlaceholdersExpandWithTheProcessEnvironment) {
    Machine& live = LiveMachine();
    EXPECT_EQ(KpxExpandEnvironmentStrings(live, u"%SystemRoot%\\system32"),
              Variable(L"SystemRoot") + u"\\system32");
    EXPECT_EQ(KpxExpandEnvironmentStrings(live, u"%TARN_NO_SUCH_VARIABLE%\\x"),
              u"%TARN_NO_SUCH_VARIABLE%\\x");
}

} // namespace
} // namespace tarn::rules
