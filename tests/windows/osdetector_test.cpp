#include "support/childprocess.h"
#include "utility/platform/osdetector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace tarn {
namespace {

using ::testing::StartsWith;

// The answers of a probe program, by name.
std::map<std::string, std::string> Probe(const std::wstring& program) {
    const test::ChildRun run = test::RunBeside(program, L"");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    std::map<std::string, std::string> answers;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            answers[line.substr(0, equals)] = line.substr(equals + 1, line.find('\r') - equals - 1);
        }
    }
    return answers;
}

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
    // A 64-bit process runs on a 64-bit system and not under WOW64.
    EXPECT_FALSE(os.isWow64());
    EXPECT_TRUE(os.is64BitOS());
    EXPECT_FALSE(os.ProductName().empty());
    EXPECT_NO_THROW(CheckPlatformAtLoad());
}

TEST(LiveOSDetector, AnswersFollowTheVersionAProgramSees) {
    const struct {
        const char* name;
        const wchar_t* program;
        const wchar_t* appVersion; // null: the prefix's own
        const char* version;
        const char* generation;
    } cases[] = {
        {"Windows 7", L"osdetector_probe.exe", nullptr, "6.1.", "22"},
        {"Windows 10 with the manifest", L"osdetector_probe_win10.exe", L"win10", "10.0.", "28"},
        {"Windows 10 without the manifest", L"osdetector_probe.exe", L"win10", "6.2.", "24"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<AppVersion> version;
        if (c.appVersion != nullptr) {
            version.emplace(c.program, c.appVersion);
        }
        std::map<std::string, std::string> answers = Probe(c.program);
        EXPECT_THAT(answers["version"], StartsWith(c.version));
        EXPECT_EQ(answers["generation"], c.generation);
        EXPECT_EQ(answers["nt"], "1");
        EXPECT_EQ(answers["extended"], "1");
        EXPECT_EQ(answers["server"], "0");
        EXPECT_EQ(answers["is64"], "1");
        EXPECT_EQ(answers["wow64"], "0");
    }
}

} // namespace
} // namespace tarn
