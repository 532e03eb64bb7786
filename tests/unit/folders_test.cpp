// Folder numbers and placeholders resolved through a scripted machine: the width rules, the
// token rules and their reports.
#include "rules/folders.h"
#include "support/fakemachine.h"
#include "support/logcapture.h"
#include "utility/log/report.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

namespace tarn::rules {
namespace {

using test::FakeMachine;

FakeMachine Windows(bool os64, bool component64) {
    FakeMachine machine;
    machine.os64 = os64;
    machine.component64 = component64;
    machine.folders = {{38, u"C:\\Program Files"},
                       {42, u"C:\\Program Files (x86)"},
                       {43, u"C:\\Program Files\\Common Files"},
                       {44, u"C:\\Program Files (x86)\\Common Files"},
                       {36, u"C:\\Windows"}};
    machine.processVariables = {{u"ProgramW6432", u"C:\\Native"},
                                {u"CommonProgramW6432", u"C:\\Native\\Common"}};
    return machine;
}

TEST(GetSystemFolderPath, FolderNumbersByWidth) {
    const struct {
        bool os64, component64;
        std::int32_t csidl;
        const char16_t* folder;
        bool traced;
    } cases[] = {
        // 32-bit Windows: the x86 folders are the only ones.
        {false, false, 42, u"C:\\Program Files", false},
        {false, false, 44, u"C:\\Program Files\\Common Files", false},
        {false, false, 38, u"C:\\Program Files", false},
        // A 32-bit component under WOW64: the native folders from the environment.
        {true, false, 38, u"C:\\Native", true},
        {true, false, 43, u"C:\\Native\\Common", true},
        {true, false, 42, u"C:\\Program Files (x86)", true},
        {true, false, 36, u"C:\\Windows", true},
        // A 64-bit build asks the shell for everything.
        {true, true, 38, u"C:\\Program Files", false},
        {true, true, 44, u"C:\\Program Files (x86)\\Common Files", false},
        // No folder, and folders the shell does not know.
        {true, false, 255, u"", false},
        {false, false, 99999, u"", false},
        {false, false, -1, u"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.csidl << " os64 " << c.os64 << " component64 " << c.component64);
        FakeMachine machine = Windows(c.os64, c.component64);
        const test::LogCapture log;
        EXPECT_EQ(GetSystemFolderPath(machine, c.csidl), c.folder);
        const std::vector<test::LogRecord> traces = log.RecordsFrom("GetSystemFolderPath");
        ASSERT_EQ(traces.size(), c.traced ? 1u : 0u);
        if (c.traced) {
            EXPECT_EQ(traces[0].message, "64bit machine and 32bit process detected");
            EXPECT_EQ(traces[0].severity, CE_SEVERITY_TRACE);
        }
    }
}

TEST(GetSystemFolderPath, UndefinedNativeVariableIsReturnedAsWritten) {
    FakeMachine machine = Windows(true, false);
    machine.processVariables.clear();
    EXPECT_EQ(GetSystemFolderPath(machine, 38), u"%ProgramW6432%");
    EXPECT_TRUE(machine.askedFolders.empty());
}

TEST(GetSystemFolderPath, ThreadTokenChoosesTheUserAndOnlyOddFailuresAreReported) {
    const struct {
        DWORD tokenError;
        const char16_t* folder;
        std::size_t warnings;
    } cases[] = {{ERROR_SUCCESS, u"C:\\Users\\alice", 0},
                 {ERROR_NO_TOKEN, u"C:\\Users\\system", 0},
                 {ERROR_ACCESS_DENIED, u"C:\\Users\\system", 1}};
    for (const auto& c : cases) {
        FakeMachine machine = Windows(false, false);
        machine.tokenError = c.tokenError;
        machine.folders[26] = u"C:\\Users\\system";
        machine.userFolders[26] = u"C:\\Users\\alice";
        const test::LogCapture log;
        EXPECT_EQ(GetSystemFolderPath(machine, 26), c.folder);
        std::vector<test::LogRecord> warnings = log.Records();
        std::erase_if(warnings, [](const auto& r) { return r.severity != CE_SEVERITY_WARNING; });
        ASSERT_EQ(warnings.size(), c.warnings);
        if (c.warnings != 0) {
            EXPECT_TRUE(warnings[0].source.starts_with("kpxtarnruleproviderinterface("));
            EXPECT_TRUE(warnings[0].message.ends_with("Continuing using system account. "
                                                      "GetLastError() = 5"));
        }
    }
}

TEST(CombineFolderAndPath, OneBackslashBetween) {
    EXPECT_EQ(CombineFolderAndPath(u"C:\\Windows", u"system32\\x.dll"),
              u"C:\\Windows\\system32\\x.dll");
    EXPECT_EQ(CombineFolderAndPath(u"C:\\", u"x.dll"), u"C:\\x.dll");
    EXPECT_EQ(CombineFolderAndPath(u"C:\\a", u"\\x.dll"), u"C:\\a\\\\x.dll");
    EXPECT_EQ(CombineFolderAndPath(u"", u"C:\\Tools\\a.exe"), u"C:\\Tools\\a.exe");
}

TEST(KpxExpandEnvironmentStrings, UserBranchIsLimitedAndTheProcessBranchIsNot) {
    const std::u16string longValue(300, u'x');
    FakeMachine machine;
    machine.userVariables = {{u"APPDATA", u"C:\\Users\\alice\\AppData"}, {u"LONG", longValue}};
    machine.processVariables = {{u"APPDATA", u"C:\\System\\AppData"}, {u"LONG", longValue}};
    const struct {
        DWORD tokenError;
        const char16_t* text;
        std::u16string expanded;
    } cases[] = {
        {ERROR_SUCCESS, u"%APPDATA%\\a", u"C:\\Users\\alice\\AppData\\a"},
        {ERROR_SUCCESS, u"%LONG%", u"%LONG%"},
        {ERROR_SUCCESS, u"%UNSET%\\b", u"%UNSET%\\b"},
        {ERROR_NO_TOKEN, u"%APPDATA%\\a", u"C:\\System\\AppData\\a"},
        {ERROR_ACCESS_DENIED, u"%LONG%", longValue},
        {ERROR_NO_TOKEN, u"no signs", u"no signs"},
    };
    for (const auto& c : cases) {
        machine.tokenError = c.tokenError;
        EXPECT_EQ(KpxExpandEnvironmentStrings(machine, c.text), c.expanded)
            << Utf16ToUtf8(c.text) << " " << c.tokenError;
    }
    // A failed process expansion leaves the text and says why at trace severity.
    machine.tokenError = ERROR_NO_TOKEN;
    machine.processExpansionError = ERROR_NOT_ENOUGH_MEMORY;
    const test::LogCapture log;
    EXPECT_EQ(KpxExpandEnvironmentStrings(machine, u"%APPDATA%"), u"%APPDATA%");
    const std::vector<test::LogRecord> traces = log.RecordsFrom("BstrAddons");
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0].message, "KpxExpandEnvironmentStrings error: 8");
}

} // namespace
} // namespace tarn::rules
