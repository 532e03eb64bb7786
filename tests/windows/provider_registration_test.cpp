// regsvr32 and regsvr32 /u with the real DLL, read back from the registry of the test prefix.
// Runs with the component registered (fixture provider_registered) and leaves it registered.
#include "support/childprocess.h"
#include "support/provider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::test {
namespace {

#define CLASS_KEY L"CLSID\\{DF407668-EC52-4582-8C1D-0C4D73E9530E}"
#define APPID L"{7769253B-A9DE-4fbf-BB31-62FFA32E6150}"
#define TYPELIB_KEY L"TypeLib\\{CDF1B27E-DB47-4FCF-868D-282BA5F4D329}"
#define AGENT_INTERFACE_KEY L"Interface\\{F45AC2E4-9ABD-48B3-86A8-111565DB5F85}"
constexpr const wchar_t* kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

using Lines = std::vector<std::wstring>;

// The trees that registration writes, each with exactly the lines it must hold.
std::vector<std::pair<std::wstring, Lines>> ExpectedTrees() {
    const std::wstring dll = ProviderDllPath();
    return {
        {L"AppID\\" APPID, {L"AppID\\" APPID, L"AppID\\" APPID L"|(default)|KpxTarnRuleProvider"}},
        {L"AppID\\KpxTarnRuleProvider.DLL",
         {L"AppID\\KpxTarnRuleProvider.DLL", L"AppID\\KpxTarnRuleProvider.DLL|AppID|" APPID}},
        {L"Orvanta.KpxTarnRuleProvider.1",
         {L"Orvanta.KpxTarnRuleProvider.1", L"Orvanta.KpxTarnRuleProvider.1\\CLSID",
          L"Orvanta.KpxTarnRuleProvider.1\\CLSID|(default)|{DF407668-EC52-4582-8C1D-0C4D73E9530E}",
          L"Orvanta.KpxTarnRuleProvider.1|(default)|Orvanta Tarn Rule Provider Class"}},
        {L"Orvanta.KpxTarnRuleProvider",
         {L"Orvanta.KpxTarnRuleProvider", L"Orvanta.KpxTarnRuleProvider\\CLSID",
          L"Orvanta.KpxTarnRuleProvider\\CLSID|(default)|{DF407668-EC52-4582-8C1D-0C4D73E9530E}",
          L"Orvanta.KpxTarnRuleProvider\\CurVer",
          L"Orvanta.KpxTarnRuleProvider\\CurVer|(default)|Orvanta.KpxTarnRuleProvider.1",
          L"Orvanta.KpxTarnRuleProvider|(default)|Orvanta Tarn Rule Provider Class"}},
        {CLASS_KEY,
         {CLASS_KEY, CLASS_KEY L"\\InprocServer32", CLASS_KEY L"\\InprocServer32|(default)|" + dll,
          CLASS_KEY L"\\InprocServer32|ThreadingModel|Free", CLASS_KEY L"\\ProgID",
          CLASS_KEY L"\\ProgID|(default)|Orvanta.KpxTarnRuleProvider.1",
          CLASS_KEY L"\\Programmable", CLASS_KEY L"\\TypeLib",
          CLASS_KEY L"\\TypeLib|(default)|{CDF1B27E-DB47-4fcf-868D-282BA5F4D329}",
          CLASS_KEY L"\\VersionIndependentProgID",
          CLASS_KEY L"\\VersionIndependentProgID|(default)|Orvanta.KpxTarnRuleProvider",
          CLASS_KEY L"|(default)|Orvanta Win32 Rule Provider Class", CLASS_KEY L"|AppID|" APPID}},
    };
}

DWORD Regsvr32(const wchar_t* options) {
    return RunProgram(L"regsvr32.exe /s " + std::wstring(options) + L"\"" + ProviderDllPath() +
                      L"\"")
        .exitCode;
}

std::wstring AgentInterfaceLibrary() {
    const Lines lines = RegistryTree(HKEY_CLASSES_ROOT, AGENT_INTERFACE_KEY L"\\TypeLib");
    return lines.size() > 1 ? lines[1] : L"<none>";
}

void ExpectRegistered(const std::wstring& agentInterfaceLibrary) {
    for (const auto& [key, lines] : ExpectedTrees()) {
        EXPECT_EQ(RegistryTree(HKEY_CLASSES_ROOT, key), lines) << testing::PrintToString(key);
    }
    const std::wstring library = TYPELIB_KEY L"\\1.0\\0\\" + std::wstring(kPlatform);
    EXPECT_EQ(RegistryTree(HKEY_CLASSES_ROOT, library),
              (Lines{library, library + L"|(default)|" + ProviderDllPath()}));
    EXPECT_EQ(AgentInterfaceLibrary(), agentInterfaceLibrary)
        << "the agent's interface stays registered to the agent's library";
}

void ExpectUnregistered(const std::wstring& agentInterfaceLibrary) {
    for (const auto& [key, lines] : ExpectedTrees()) {
        EXPECT_EQ(RegistryTree(HKEY_CLASSES_ROOT, key), Lines{}) << testing::PrintToString(key);
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TYPELIB_KEY));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_EQ(AgentInterfaceLibrary(), agentInterfaceLibrary);
}

class ProviderRegistration : public testing::Test {
protected:
    void SetUp() override {
        agentLibrary_ = AgentInterfaceLibrary();
        ASSERT_NE(agentLibrary_, L"<none>") << "the agent's library is registered first";
    }
    // The component stays registered for the tests that run after this one.
    void TearDown() override { EXPECT_EQ(Regsvr32(L""), 0u); }

    std::wstring agentLibrary_;
};

TEST_F(ProviderRegistration, RegisterAndUnregisterTwiceInARow) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(Regsvr32(L""), 0u);
        ExpectRegistered(agentLibrary_);
        ASSERT_EQ(Regsvr32(L"/u "), 0u);
        ExpectUnregistered(agentLibrary_);
    }
    EXPECT_EQ(Regsvr32(L"/u "), 0u) << "nothing left to remove is no failure";
    ExpectUnregistered(agentLibrary_);
}

TEST_F(ProviderRegistration, RegisteringAgainReplacesTheClassKey) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, CLASS_KEY L"\\Stale\\Deeper", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &stale, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stale);
    const wchar_t data[] = L"left over";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, CLASS_KEY L"\\Programmable", L"Old", REG_SZ, data,
                              sizeof(data)),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, CLASS_KEY, L"Extra", REG_SZ, data, sizeof(data)),
              ERROR_SUCCESS);

    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered(agentLibrary_);
}

TEST_F(ProviderRegistration, ThreadLocaleIsRestored) {
    ComScope com;
    ProviderDll dll;
    constexpr LCID kGerman = 0x0407;
    ASSERT_TRUE(SetThreadLocale(kGerman));
    EXPECT_EQ(dll.RegisterServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), kGerman);
    EXPECT_EQ(dll.UnregisterServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), kGerman);
    ExpectUnregistered(agentLibrary_);
    EXPECT_EQ(dll.RegisterServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), kGerman);
    ExpectRegistered(agentLibrary_);
}

} // namespace
} // namespace tarn::test
