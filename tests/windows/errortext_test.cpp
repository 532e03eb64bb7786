// Error texts under Wine: the system's and WinINet's tables (wmiutils.dll has none), and the agent
// extension library where the registry or the installer puts it, one child per placement.
#include "common/errortexts.h"
#include "common/logrecords.h"
#include "support/childprocess.h"
#include "utility/log/agentlog.h"
#include "utility/log/comerror.h"
#include "utility/log/errortext.h"
#include "utility/log/systemmessage.h"
#include "utility/platform/osdetector.h"
#include "utility/text/strings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

namespace tarn {
namespace {

TEST(ErrorTextWine, SystemTextsWithAndWithoutLineEnds) {
    for (const auto& t : test::kRecordedTexts) {
        EXPECT_EQ(GetErrorText(t.code), t.wine) << std::hex << t.code;
        const std::u16string raw = SystemMessageText(t.code, kLanguageUserDefault);
        if (!raw.empty()) {
            ASSERT_TRUE(raw.ends_with(u"\r\n")) << std::hex << t.code;
            EXPECT_EQ(_com_error(static_cast<HRESULT>(t.code)).ErrorMessage(),
                      raw.substr(0, raw.size() - 2));
        }
    }
}

// Sets InstallDir of the agent's key for one scope; the value held before comes back.
class InstallDirValue {
public:
    InstallDirValue() {
        DWORD size = sizeof saved_;
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, kKey, L"InstallDir", RRF_RT_REG_SZ, nullptr, saved_,
                            &size) == ERROR_SUCCESS;
    }
    ~InstallDirValue() {
        had_ ? Set(saved_) : void(RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"InstallDir"));
    }
    void Set(const std::wstring& directory) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"InstallDir", REG_SZ, directory.c_str(),
                        static_cast<DWORD>((directory.size() + 1) * sizeof(wchar_t)));
    }

private:
    static constexpr const wchar_t* kKey = L"Software\\Orvanta\\Orvanta Agent";
    wchar_t saved_[600] = {};
    bool had_ = false;
};

class ErrorTextPlacements : public ::testing::Test {
protected:
    void SetUp() override {
        test::RunProgram(L"cmd /c rmdir /s /q \"" + root_ + L"\"");
        for (const wchar_t* d : {L"agent\\x86", L"bad\\x86", L"nomsg\\x86", L"web",
                                 L"setup\\x86\\CoreAgentDll", L"bare"}) {
            test::RunProgram(L"cmd /c mkdir \"" + root_ + d + L"\"");
        }
        // Under WOW64 the library is below x86; a non-PE file stands at the other place.
        const bool wow64 = OSDetector::Instance().isWow64();
        Copy(L"KpxAgentExt.dll",
             wow64 ? L"agent\\x86\\KpxAgentExt.dll" : L"agent\\KpxAgentExt.dll");
        Write(wow64 ? L"agent\\KpxAgentExt.dll" : L"agent\\x86\\KpxAgentExt.dll");
        Write(wow64 ? L"bad\\x86\\KpxAgentExt.dll" : L"bad\\KpxAgentExt.dll");
        Copy(L"rule-file-unversioned.dll",
             wow64 ? L"nomsg\\x86\\KpxAgentExt.dll" : L"nomsg\\KpxAgentExt.dll");
        Copy(L"errortext_probe.exe", L"web\\httpd.exe");
        Copy(L"errortext_probe.exe", L"setup\\errortext_probe.exe");
        Copy(L"KpxAgentExt.dll", L"setup\\x86\\CoreAgentDll\\KpxAgentExt.dll");
        Copy(L"errortext_probe.exe", L"bare\\errortext_probe.exe");
    }
    void Copy(const wchar_t* from, const wchar_t* to) {
        CopyFileW((test::ProgramDirectory() + from).c_str(), (root_ + to).c_str(), FALSE);
    }
    void Write(const wchar_t* to) { Copy(L"CTestTestfile.cmake", to); } // not a PE file
    std::string Probe(const std::wstring& exe, const std::wstring& args) {
        const std::wstring dll = test::ProgramDirectory() + L"errortext_probe.dll";
        return test::RunProgram(L"\"" + exe + L"\" \"" + dll + L"\" " + args).output;
    }

    const std::wstring root_ = test::ProgramDirectory() + L"errortext-tree\\";
    const std::wstring probe_ = test::ProgramDirectory() + L"errortext_probe.exe";
    InstallDirValue installDir_;
};

TEST_F(ErrorTextPlacements, AgentLibraryBelowInstallDir) {
    installDir_.Set(root_ + L"agent\\");
    const std::wstring bad = root_ + L"bad<name\\x";
    const std::size_t logStart =
        test::ReadFileBytes(Utf16ToUtf8(AgentLog::Instance().LogFilePath())).size();
    EXPECT_EQ(Probe(probe_, L"agent text E0001234 0 1033 text E0001234 1 1033 text 2 1 1033 "
                            L"text 2 2 1033 text 2EE2 4 1033 text 2 1 1031 text 8FA20010 8 1031 "
                            L"text 8FA20011 8 1033 lasterror 87 mkdir \"" +
                                bad + L"\" unload"),
              "1 0\r\n"
              "No description is available for error 0xE0001234\r\n"
              "No description is available for error 0xE0001234 (error 0xE0001234)\r\n"
              "File not found (error 0x00000002)\r\n"
              "File not found (error 2)\r\n"
              "The request has timed out (error 12002)\r\n"
              "Datei nicht gefunden (Fehler 0x00000002)\r\n"
              "Der Agentendienst ist nicht gestartet\r\n"
              "The rule %1 names an agent component that is not installed\r\n"
              "87\r\n"
              "1 0\r\n");
    // CEReportEventError decorates with option 4.
    std::vector<std::string> messages;
    const std::string log = test::ReadFileBytes(Utf16ToUtf8(AgentLog::Instance().LogFilePath()));
    for (const auto& r : test::ParseLogRecords(log.substr(logStart))) {
        if (r.source == "CreateDirectoryPath" && r.module == "errortext_probe.dll") {
            messages.push_back(r.message);
        }
    }
    EXPECT_EQ(messages,
              std::vector<std::string>{"Cannot create directory '" + Utf16ToUtf8(U16(bad.c_str())) +
                                       "', error: Invalid name (error 0x0000007B)"});
}

TEST_F(ErrorTextPlacements, OtherPlacements) {
    const std::wstring noDescription = L"agent text E0001234 1 1033 text 2 1 1033";
    installDir_.Set(root_ + L"agent");
    EXPECT_EQ(Probe(root_ + L"web\\httpd.exe", noDescription),
              "0 2\r\nNo error description available (0xE0001234)\r\nFile not found\r\n");
    installDir_.Set(root_ + L"bad");
    EXPECT_EQ(Probe(probe_, noDescription),
              "0 193\r\nNo error description available (0xE0001234)\r\nFile not found\r\n");
    installDir_.Set(root_ + L"nomsg");
    EXPECT_EQ(Probe(probe_, noDescription), "1 0\r\n\r\nFile not found\r\n");
    // Under the installer: beside the host executable, else the host's own module; the
    // registry names a library that does not load.
    SetEnvironmentVariableW(L"Kpx_{407B8F95-9674-45e8-B441-969669DBEB56}", L"Silent");
    EXPECT_EQ(Probe(root_ + L"setup\\errortext_probe.exe", noDescription),
              "1 0\r\nNo description is available for error 0xE0001234 (error 0xE0001234)\r\n"
              "File not found (error 0x00000002)\r\n");
    EXPECT_EQ(Probe(root_ + L"bare\\errortext_probe.exe", noDescription),
              "1 0\r\n\r\nFile not found\r\n");
    SetEnvironmentVariableW(L"Kpx_{407B8F95-9674-45e8-B441-969669DBEB56}", nullptr);
}

} // namespace
} // namespace tarn
