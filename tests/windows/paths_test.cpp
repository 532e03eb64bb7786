// The path services against the real file system, and the temporary-directory step of the
// component's load seen from a process that loads it.
#include "common/logrecords.h"
#include "support/childprocess.h"
#include "support/provider.h"
#include "utility/log/agentlog.h"
#include "utility/platform/longpath.h"
#include "utility/platform/processpaths.h"
#include "utility/platform/wintypes.h"
#include "utility/text/strings.h"

#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

namespace tarn::paths {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the process's temporary folder, removed afterwards.
class PathsTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tarn-paths-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        std::ofstream(root_ / "file") << "x";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::u16string Under(const wchar_t* relative) const { return (root_ / relative).u16string(); }

    fs::path root_;
};

// Records of this process's agent log from the directory creation.
std::size_t CreationReports() {
    const std::string text = test::ReadFileBytes(Utf16ToUtf8(AgentLog::Instance().LogFilePath()));
    const std::vector<test::LogRecord> records = test::ParseLogRecords(text);
    return std::count_if(records.begin(), records.end(),
                         [](const auto& r) { return r.source == "CreateDirectoryPath"; });
}

TEST_F(PathsTest, CreatesParentsAndAnswersExistingEntries) {
    const std::u16string deep = Under(L"a\\b\\c");
    EXPECT_TRUE(CreateDirectoryPath(deep.c_str(), nullptr, true));
    EXPECT_TRUE(DirectoryExists(deep));

    EXPECT_TRUE(CreateDirectoryPath(deep.c_str(), nullptr, true));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    const std::size_t reports = CreationReports();
    EXPECT_FALSE(CreateDirectoryPath(Under(L"file").c_str(), nullptr, true));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_MAKE));
    EXPECT_FALSE(DirectoryExists(Under(L"file")));
    EXPECT_EQ(CreationReports(), reports);

    // A failure of another kind is reported only when asked for.
    const std::u16string bad = Under(L"bad|name");
    EXPECT_FALSE(CreateDirectoryPath(bad.c_str(), nullptr, false));
    const DWORD error = GetLastError();
    EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(CreationReports(), reports);
    EXPECT_FALSE(CreateDirectoryPath(bad.c_str(), nullptr, true));
    EXPECT_EQ(GetLastError(), error);
    EXPECT_EQ(CreationReports(), reports + 1);
}

TEST_F(PathsTest, CanonicalizesFindsAndReadsThroughTheExtendedForm) {
    EXPECT_EQ(ExtendedLengthPath(u"C:\\a\\.\\b\\..\\c"), u"\\\\?\\C:\\a\\c");
    WIN32_FIND_DATAW data{};
    const HANDLE search = FindFirstFileExtended(Under(L".\\fil*"), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_STREQ(data.cFileName, L"file");
    EXPECT_NE(GetFileAttributesExtended(Under(L"x\\..\\file")), INVALID_FILE_ATTRIBUTES);
}

TEST(ProcessPaths, ExecutableAndModulePaths) {
    wchar_t own[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
    const std::u16string executable(U16(own), length);
    EXPECT_EQ(ExecutablePath(), executable);
    EXPECT_EQ(ExecutablePath(nullptr, nullptr, true), u"paths_test.exe");
    EXPECT_EQ(ModulePath(nullptr), executable);
    EXPECT_EQ(ModuleDirectory(nullptr) + u"\\paths_test.exe", executable);

    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    EXPECT_TRUE(
        EqualsAsciiNoCase(ExecutablePath(GetCurrentProcess(), kernel32, true), u"kernel32.dll"));
    EXPECT_EQ(ModulePath(kernel32), ExecutablePath(nullptr, kernel32));
    EXPECT_EQ(ModulePath(reinterpret_cast<HMODULE>(own)), u"");
}

TEST(ProcessPaths, ProgramFilesHostNameAndNarrowText) {
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles), S_OK);
    EXPECT_EQ(ProgramFilesFolder(), U16(programFiles));

    wchar_t name[1024] = {};
    DWORD size = 1024;
    ASSERT_TRUE(GetComputerNameExW(ComputerNamePhysicalDnsHostname, name, &size));
    EXPECT_NE(size, 0u);
    EXPECT_EQ(HostName(), std::u16string(U16(name), size));

    EXPECT_EQ(NarrowText(u"a\u00e9", CP_UTF8), "a\xC3\xA9");
    EXPECT_EQ(NarrowText(u"a\u00e9", 1252), "a\xE9");
    EXPECT_EQ(NarrowText(u"", CP_UTF8), "");
    EXPECT_EQ(NarrowText(u"a", 12345), "");
}

// The "name=value" lines of the probe that loads the component with TEMP and TMP at `temp`.
std::map<std::string, std::string> LoadComponentWithTemp(const std::wstring& temp) {
    const test::ChildRun run = test::RunBeside(
        L"tempdir_probe.exe", L"\"" + test::ProviderDllPath() + L"\" \"" + temp + L"\"");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    std::map<std::string, std::string> lines;
    const std::regex line(R"((?:^|\n)([^=\r\n]+)=([^\r\n]*))");
    for (std::sregex_iterator m(run.output.begin(), run.output.end(), line), end; m != end; ++m) {
        lines[(*m)[1]] = (*m)[2];
    }
    return lines;
}

// TEMP and TMP name `directory`, where the marker file is open while the probe runs.
void ExpectTempIn(std::map<std::string, std::string>& lines, const std::wstring& directory) {
    const std::string expected = Utf16ToUtf8(U16(directory.c_str()));
    EXPECT_EQ(lines["TEMP"], expected);
    EXPECT_EQ(lines["TMP"], expected);
    EXPECT_EQ(lines["marker"], "OK");
    EXPECT_EQ(lines["file"].rfind(expected + "\\Kpx_{A4597EF2-B2F1-4954-A2FF-A65C393439AF}_", 0),
              0u);
    EXPECT_EQ(lines["fileExists"], "yes");
    // It went with the process.
    EXPECT_FALSE(fs::exists(fs::path(Utf8ToUtf16(lines["file"]).c_str())));
}

TEST_F(PathsTest, LoadMakesAMissingTempFolderOnce) {
    const fs::path temp = root_ / L"missing\\temp";
    auto lines = LoadComponentWithTemp(temp.wstring());
    ExpectTempIn(lines, temp.wstring());
    EXPECT_TRUE(fs::is_directory(temp));
    // The second load in the process found the marker and left TEMP alone.
    EXPECT_EQ(lines["unloaded"], "yes");
    EXPECT_EQ(lines["secondTEMP"], "C:\\elsewhere");
}

TEST_F(PathsTest, LoadFallsBackToTheCommonApplicationDataFolder) {
    wchar_t common[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common), S_OK);
    const fs::path fallback = fs::path(common) / L"Velmoric\\Velmoric Agent\\Temp";
    std::error_code ignored;
    fs::remove_all(fallback, ignored);
    // Nothing can be made under a file.
    auto lines = LoadComponentWithTemp((root_ / L"file\\temp").wstring());
    ExpectTempIn(lines, fallback.wstring());
}

} // namespace
} // namespace tarn::paths
