// The file and shortcut tests over a scripted machine: wildcards, folders, placeholders,
// version conditions, the network switch and the installer's and shell's answers, each with
// what it reports or raises. The same rules on real files are file_rules_test's (tests/windows).
#include "rules/files.h"
#include "support/evaluation.h"
#include "support/fakemachine.h"
#include "support/logcapture.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarn::test {
namespace {

constexpr std::uint64_t V(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
    return a << 48 | b << 32 | c << 16 | d;
}

// A drive with an application folder, a vendor folder and a network drive N:.
FakeMachine Disk() {
    FakeMachine m;
    m.folders = {{38, u"C:\\Program Files"}, {36, u"C:\\Windows\\"}};
    m.processVariables = {{u"SystemRoot", u"C:\\Windows"}};
    m.AddDirectory(u"C:\\Apps");
    m.AddDirectory(u"C:\\Apps\\tool.d");
    m.AddFile(u"C:\\Apps\\tool1.exe", FakeMachine::VersionResource{V(2, 5, 3, 1)});
    m.AddFile(u"C:\\Apps\\tool2.exe", FakeMachine::VersionResource{V(2, 0, 0, 0)});
    m.AddFile(u"C:\\Apps\\bare.exe");
    m.AddFile(u"C:\\Apps\\untranslated.exe", FakeMachine::VersionResource{V(1, 0, 0, 0), {}});
    m.AddFile(u"C:\\Apps\\unfixed.exe", FakeMachine::VersionResource{{}});
    m.AddFile(u"C:\\Apps\\locked.exe", FakeMachine::VersionResource{V(1, 0, 0, 0), 0, 5});
    m.AddFile(u"C:\\Windows\\notepad.exe", FakeMachine::VersionResource{V(10, 0, 0, 1)});
    m.AddDirectory(u"C:\\Program Files\\Vendor1");
    m.AddFile(u"C:\\Program Files\\app\\tool.exe", FakeMachine::VersionResource{V(3, 0, 0, 0)});
    m.AddFile(u"N:\\tool.exe", FakeMachine::VersionResource{V(1, 0, 0, 0)});
    m.AddFile(u"N:\\sub\\tool.exe", FakeMachine::VersionResource{V(1, 0, 0, 0)});
    m.driveTypes = {{u"N:\\", kDriveRemote}};
    m.localMachineKeys = {u"SOFTWARE\\Orvanta\\Orvanta Agent\\NO_VERSION_OVER_NETWORK"};
    return m;
}

TEST(ResolveWildcardPath, OnlyTheLastComponentAndFilesBeforeDirectories) {
    FakeMachine disk = Disk();
    disk.AddDirectory(u"C:\\Mixed");
    disk.AddDirectory(u"C:\\Mixed\\a1");
    disk.AddFile(u"C:\\Mixed\\a2");
    const struct {
        std::u16string path, resolved; // resolved empty: not resolved
    } cases[] = {
        {u"C:\\Apps\\tool*.exe", u"C:\\Apps\\tool1.exe"},
        {u"C:/Apps/tool?.EXE", u"C:/Apps/tool1.exe"},
        {u"C:\\Apps\\*", u"C:\\Apps\\tool1.exe"}, // "." and ".." are passed over
        {u"C:\\Mixed\\a*", u"C:\\Mixed\\a2"},     // the file, though the directory came first
        {u"C:\\Program Files\\Vendor*", u"C:\\Program Files\\Vendor1"},
        {u"C:\\Ap*\\tool1.exe", u""},
        {u"C:\\Apps\\nothing*", u""},
        {u"tool*.exe", u""},
        {u"*", u""},
        {u"\\\\\\", u""},
        {u"", u""},
    };
    for (const auto& c : cases) {
        std::u16string path = c.path;
        EXPECT_EQ(rules::ResolveWildcardPath(disk, path), !c.resolved.empty())
            << Utf16ToUtf8(c.path);
        EXPECT_EQ(path, c.resolved.empty() ? c.path : c.resolved);
    }
}

TEST(SRFileVersion, AnswersAndReports) {
    const std::string notFound = "4 KpxTarnRuleProviderInterface: File existence check failed.  "
                                 "Local file not found!\r\nRule expression: ";
    const std::string cannotRead =
        "2 KpxTarnRuleProviderInterface: File version comparison "
        "failed.  Can't get file version information!\r\nRule expression: ";
    const std::string noVersion = "2 KpxTarnRuleProviderInterface: File version comparison "
                                  "failed.  Local file contains no version information!\r\nRule "
                                  "expression: ";
    const struct {
        std::u16string attributes;
        HRESULT status;
        std::string said; // raise text, then reports; "@" stands for the element's markup
    } cases[] = {
        {u"Selected='false'", 0, ""},
        {u"Csidl='255'", E_FAIL, "Expression fileVersion has no filePath 'Path' attribute"},
        {u"Path='C:\\Apps\\bare.exe'", E_FAIL, "Expression fileVersion has no 'Csidl' attribute"},
        {u"Path='C:\\Apps\\bare.exe' Csidl='255'", 0, ""},
        {u"Path='C:\\Apps' Csidl=' +255x'", 0, ""},
        {u"Path='app\\tool.exe' Csidl='38' Comparison='SAME' version='3.0'", 0, ""},
        {u"Path='notepad.exe' Csidl='36'", 0, ""},
        {u"Path='%SystemRoot%\\notepad.exe' Csidl='255'", 0, ""},
        {u"Path='C:\\Apps\\none.exe' Csidl='255'", 1, notFound + "@\n"},
        {u"Path='C:\\Ap*\\tool1.exe' Csidl='255'", 1, notFound + "@\n"},
        {u"Path='C:\\Apps\\tool*.exe' Csidl='255' Comparison='higher_or_same' version='2.5.3.1'", 0,
         "8 KpxTarnRuleProviderInterface: File existence wildcard check succeeded. File "
         "found: C:\\Apps\\tool1.exe\n"},
        {u"Path='C:\\Apps\\tool2.exe' Csidl='255' Comparison='BETWEEN' versionLower='1.0' "
         u"version='2.0'",
         0, ""},
        {u"Path='C:\\Apps\\tool2.exe' Csidl='255' Comparison='LOWER' version='2.0'", 1, ""},
        {u"Path='C:\\Apps\\tool2.exe' Csidl='255' Comparison='near' version='2.0'", E_FAIL,
         "CompareVersions() Unknown comparison type : 'near'"},
        {u"Path='C:\\Apps\\bare.exe' Csidl='255' Comparison='higher_or_same' version='1.0'", 1,
         noVersion + "@\n"},
        {u"Path='C:\\Apps\\unfixed.exe' Csidl='255' Comparison='higher_or_same' version='1.0'", 1,
         noVersion + "@\n"},
        {u"Path='C:\\Apps\\untranslated.exe' Csidl='255' Comparison='higher_or_same' version='1.0'",
         1, cannotRead + "@\n"},
        {u"Path='C:\\Apps\\locked.exe' Csidl='255' Comparison='higher_or_same' version='1.0'", 1,
         cannotRead + "@\n"},
        {u"Path='N:\\tool.exe' Csidl='255'", 0, ""},
        {u"Path='N:\\tool.exe' Csidl='255' Comparison='higher_or_same' version='1.0'", 1,
         cannotRead + "@\n"},
        {u"Path='N:\\sub\\tool.exe' Csidl='255' Comparison='higher_or_same' version='1.0'", 0, ""},
    };
    for (const auto& c : cases) {
        FakeMachine disk = Disk();
        const std::u16string rule = u"<SRFileVersion " + c.attributes + u"/>";
        SCOPED_TRACE(Utf16ToUtf8(rule));
        const LogCapture capture;
        const ElementOutcome outcome = EvaluateElement(disk, rule);
        EXPECT_EQ(outcome.status, c.status) << std::hex << outcome.status;
        std::string said = c.said;
        if (const std::size_t at = said.find('@'); at != said.npos) {
            std::string markup = Utf16ToUtf8(rule);
            std::replace(markup.begin(), markup.end(), '\'', '"');
            said.replace(at, 1, markup);
        }
        EXPECT_EQ(Utf16ToUtf8(outcome.description) + capture.Transcript(), said);
    }
}

TEST(TargetOfShortcut, InstallerComponentsAndShellTargets) {
    const struct {
        std::u16string attributes;
        HRESULT status; // or the raise
        std::string raised;
    } cases[] = {
        {u"Selected='FALSE'", 0, ""},
        {u"Csidl='38'", E_FAIL, "Expression TargetOfShortcut has no Path attribute"},
        {u"Path='C:\\local.lnk'", 0, ""},  // advertised, installed locally
        {u"Path='C:\\source.lnk'", 0, ""}, // run from source
        {u"Path='C:\\default.lnk'", 0, ""},
        {u"Path='C:\\advertised.lnk'", 1, ""}, // advertised only
        {u"Path='C:\\absent.lnk'", 1, ""},
        {u"Path='app.lnk' Csidl='38'", 0, ""},           // to a directory
        {u"Path='app.lnk'", 1, ""},                      // no folder: the link is not there
        {u"Path='%ProgramFiles%\\app.lnk'", E_FAIL, ""}, // never expanded
        {u"Path='C:\\deleted.lnk'", 1, ""},
        {u"Path='C:\\nopath.lnk'", 1, ""},
        {u"Path='C:\\broken.lnk'", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), ""},
    };
    for (const auto& c : cases) {
        FakeMachine m = Disk();
        m.processVariables[u"ProgramFiles"] = u"C:\\Program Files";
        const int states[] = {3, 4, 5, 1, 2};
        const char16_t* advertised[] = {u"C:\\local.lnk", u"C:\\source.lnk", u"C:\\default.lnk",
                                        u"C:\\advertised.lnk", u"C:\\absent.lnk"};
        for (int i = 0; i < 5; ++i) {
            const std::u16string component =
                u"{8E1B2C3D-4F5A-4B6C-8D7E-9F0A1B2C3D4" + std::u16string(1, u'0' + i) + u"}";
            m.installer.AddAdvertisedShortcut(advertised[i], component, states[i]);
        }
        m.shellLinks = {{u"C:\\Program Files\\app.lnk", {S_OK, u"C:\\Apps"}},
                        {u"app.lnk", {S_OK, u"C:\\Apps\\gone.exe"}},
                        {u"C:\\deleted.lnk", {S_OK, u"C:\\Apps\\gone.exe"}},
                        {u"C:\\nopath.lnk", {S_FALSE, u""}},
                        {u"C:\\broken.lnk", {HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), u""}}};
        const ElementOutcome outcome =
            EvaluateElement(m, u"<TargetOfShortcut " + c.attributes + u"/>");
        EXPECT_EQ(outcome.status, c.status) << Utf16ToUtf8(c.attributes);
        EXPECT_EQ(Utf16ToUtf8(outcome.description), c.raised);
        EXPECT_EQ(m.installer.Loaded(), 0);
    }
}

TEST(TargetOfShortcut, EveryShortcutNeedsTheWholeInstallerLibrary) {
    const char* missing[] = {"", "MsiGetShortcutTargetW", "MsiGetComponentPathW"};
    const char* raised[] = {"Unable to get module handle for msi.dll!",
                            "EvaluateExpressionNode_TargetOfShortcut could not find "
                            "MsiGetShortcutTargetW",
                            "EvaluateExpressionNode_TargetOfShortcut could not find "
                            "MsiGetComponentPathW"};
    for (int i = 0; i < 3; ++i) {
        FakeMachine m = Disk();
        m.shellLinks = {{u"C:\\ok.lnk", {S_OK, u"C:\\Apps"}}};
        i == 0 ? m.installer.SetLoadable(false) : m.installer.RemoveFunction(missing[i]);
        const ElementOutcome outcome = EvaluateElement(m, u"<TargetOfShortcut Path='C:\\ok.lnk'/>");
        EXPECT_EQ(outcome.status, E_FAIL);
        EXPECT_EQ(Utf16ToUtf8(outcome.description), raised[i]);
        EXPECT_EQ(m.installer.Loaded(), 0);
    }
}

} // namespace
} // namespace tarn::test
