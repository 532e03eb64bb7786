#include "support/childprocess.h"
#include "utility/platform/osdetector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

using ::testing::MatchesRegex;

// Both builds run on a 64-bit Windows; the i686 one as a 32-bit process under WOW64.
constexpr bool kThisBuildIsWow64 = sizeof(void*) == 4;

// Wine reads a Windows version per program from AppDefaults; setting it for the probes only
// leaves the prefix, which the other tests share, a Windows 7.
class AppVersion {
public:
    AppVersion(const std::wstring& program, const wchar_t* version)
        : path_(L"Software\\Wine\\AppDefaults\\" + program) {
        RegSetKeyValueW(HKEY_CURRENT_USER, path_.c_str(), L"Version", REG_SZ, version,
                        static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    }
    AppVersion(const AppVersion&) = delete;
    AppVersion& operator=(const AppVersion&) = delete;
    ~AppVersion() { RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }

private:
    std::wstring path_;
};

TEST(LiveOSDetector, ThePrefixIsWindows7) {
    const OSDetector& os = OSDetector::Instance();
    EXPECT_EQ(os.OSGeneration(), 22);
    EXPECT_EQ(os.VersionText(), u"6.1");
    EXPECT_EQ(os.Version() >> 32, 0x00060001u);
    EXPECT_EQ((os.Version() >> 16) & 0xFFFF, os.VersionInfo().buildNumber & 0xFFFF);
    EXPECT_TRUE(os.IsPlatformNT());
    EXPECT_TRUE(os.HasExtendedInformation());
    EXPECT_FALSE(os.isServer());
    EXPECT_FALSE(os.isServerCore());
    // The system is 64-bit for both builds; only the i686 one runs under WOW64.
    EXPECT_EQ(os.isWow64(), kThisBuildIsWow64);
    EXPECT_TRUE(os.is64BitOS());
    EXPECT_FALSE(os.ProductName().empty());
    EXPECT_NO_THROW(CheckPlatformAtLoad());
}

// The version and generation of a probe program, which Wine sets to Windows 10.
TEST(LiveOSDetector, AnswersFollowTheVersionAProgramSees) {
    const struct {
        const wchar_t* program;
        const char* answer; // as a regular expression
    } cases[] = {
        {L"osdetector_probe_win10.exe", "10\\.0\\.\\d+ 28\\s*"}, // with the manifest
        {L"osdetector_probe.exe", "6\\.2\\.\\d+ 24\\s*"},        // without it
    };
    for (const auto& c : cases) {
        const AppVersion version(c.program, L"win10");
        const test::ChildRun run = test::RunBeside(c.program, L"");
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_THAT(run.output, MatchesRegex(c.answer));
    }
}

// The detection documents' os test reads the same version: equality of major and minor version,
// and the width of the system whatever the width of the build.
TEST(LiveOSDetector, DetectionDocumentsSeeTheVersionOfTheirProgram) {
    const std::wstring tests =
        L"major_version=10 minor_version=0 major_version=6 arch=x64 arch=x86";
    const struct {
        const wchar_t* program;
        const wchar_t* version;
        const char* answer;
    } cases[] = {
        {L"osdetector_probe_win10.exe", L"win10", "10\\.0\\.\\d+ \\d+ 0 0 1 0 1\\s*"},
        {L"osdetector_probe.exe", L"win10", "6\\.2\\.\\d+ \\d+ 1 1 0 0 1\\s*"},
        {L"osdetector_probe.exe", L"win7", "6\\.1\\.\\d+ \\d+ 1 1 0 0 1\\s*"},
    };
    for (const auto& c : cases) {
        const AppVersion version(c.program, c.version);
        const test::ChildRun run = test::RunBeside(c.program, tests);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_THAT(run.output, MatchesRegex(c.answer)) << c.version;
    }
}

} // namespace
} // namespace tarn
