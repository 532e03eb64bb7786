// The installer tests against the real Windows Installer: two products of one upgrade family
// installed side by side by the test fixture, a third product never installed. The live
// machine's installer library directly, then the rules through the component itself
// (KpxTarnRuleProvider.dll loaded by path), with the log records they write. Codes that are
// no GUIDs and the patch test are corpus documents (tests/corpus/installer, patch-*.xml).
#include "machine/machine.h"
#include "support/componentlog.h"
#include "support/provider.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarn {
namespace {

const std::u16string kFamily = u"" TARN_MSI_FAMILY;
const std::u16string kOld = u"" TARN_MSI_OLD; // 2.0.0
const std::u16string kNew = u"" TARN_MSI_NEW; // 3.1.0
const std::u16string kNever = u"" TARN_MSI_NEVER;
const std::u16string kNeverFamily = u"" TARN_MSI_NEVER_FAMILY;

std::string U8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

using LogSince = test::ComponentLogSince;

std::u16string ProductRule(const std::u16string& code) {
    return u"<SmartMSIProductCode productCode='" + code + u"'/>";
}

std::u16string FamilyRule(const std::u16string& code, const std::u16string& condition) {
    return u"<SmartMSIUpgradeCode upgradeCode='" + code + u"' " + condition + u"/>";
}

std::u16string Lower(std::u16string code) {
    std::transform(code.begin(), code.end(), code.begin(), AsciiLower);
    return code;
}

bool MsiLoaded() {
    return GetModuleHandleW(L"msi.dll") != nullptr;
}

TEST(WindowsInstallerLibrary, ResolvesTheFunctionsAndKeepsTheLastErrorOnRelease) {
    std::unique_ptr<InstallerLibrary> msi = LiveMachine().LoadInstaller();
    ASSERT_NE(msi, nullptr);
    for (const char* name : {"MsiGetProductInfoW", "MsiEnumRelatedProductsW",
                             "MsiGetShortcutTargetW", "MsiGetComponentPathW"}) {
        EXPECT_TRUE(msi->Has(name)) << name;
    }
    EXPECT_FALSE(msi->Has("MsiNoSuchFunctionW"));
    EXPECT_TRUE(MsiLoaded());
    SetLastError(0x2A2A);
    msi.reset();
    EXPECT_EQ(GetLastError(), 0x2A2Au);
    EXPECT_FALSE(MsiLoaded());
}

class WindowsInstallerRules : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(provider_.Get(), nullptr) << "no provider object"; }
    test::Answer Evaluate(const std::u16string& expression) const {
        const std::u16string document = u"<ruleset>" + expression + u"</ruleset>";
        return test::Evaluate(provider_.Get(), std::wstring(document.begin(), document.end()));
    }

private:
    test::ComScope com_;
    test::ProviderDll dll_;
    ComPtr<IInventoryRuleProvider> provider_ = dll_.Create();
};

TEST_F(WindowsInstallerRules, ProductCodes) {
    const struct {
        std::u16string code;
        HRESULT hr;
    } cases[] = {
        {kOld, S_OK},
        {Lower(kNew), S_OK},
        {kNever, S_FALSE},
    };
    for (const auto& c : cases) {
        const LogSince log;
        const test::Answer answer = Evaluate(ProductRule(c.code));
        EXPECT_EQ(answer.hr, c.hr) << U8(c.code);
        EXPECT_EQ(answer.result, c.hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE);
        const std::vector<std::string> notFound =
            log.From("EvaluateExpressionNode_msiProductInstalled");
        if (c.hr == S_FALSE) {
            EXPECT_EQ(notFound,
                      (std::vector<std::string>{"4 Product code '" + U8(c.code) + "' not found."}));
        } else {
            EXPECT_TRUE(notFound.empty()) << notFound[0];
        }
        EXPECT_EQ(log.From("SmartMSIProductCode"),
                  (std::vector<std::string>{"8 productCode: '" + U8(c.code) +
                                            "', result: " + std::to_string(c.hr)}));
    }
    EXPECT_FALSE(MsiLoaded()) << "the installer library is released after each test";
}

std::string Found(const char* version, const std::u16string& product) {
    return std::string("8 Version [") + version + "] found. Matching product code is [" +
           U8(product) + "].";
}

const std::string kNoneFound = "8 No products found for UpgradeCode and version range.";

TEST_F(WindowsInstallerRules, UpgradeFamilyVersionRanges) {
    const struct {
        std::u16string family;
        std::u16string condition;
        HRESULT hr;
        std::string trace;
    } cases[] = {
        {kFamily, u"Comparison='HIGHER_OR_SAME' version='2.5'", S_OK, Found("3.1.0", kNew)},
        {kFamily, u"Comparison='SAME' version='3.1'", S_OK, Found("3.1.0", kNew)},
        // Both match: the product whose code sorts first is reported.
        {kFamily, u"Comparison='BETWEEN' version='3.1' versionLower='2.0'", S_OK,
         Found("2.0.0", kOld)},
        {kFamily, u"Comparison='between' version='3.0.9.9' versionLower='2.0.0.1'", S_FALSE,
         kNoneFound},
        {Lower(kFamily), u"Comparison='HIGHER' version='0'", S_OK, Found("2.0.0", kOld)},
        {kNeverFamily, u"Comparison='HIGHER' version='0'", S_FALSE, kNoneFound},
        // An unknown comparison name goes unnoticed while nothing is found, and raises once a
        // product is.
        {kNeverFamily, u"Comparison='EQUAL' version='1'", S_FALSE, kNoneFound},
        {kFamily, u"Comparison='EQUAL' version='1'", E_FAIL, ""},
    };
    for (const auto& c : cases) {
        const LogSince log;
        const test::Answer answer = Evaluate(FamilyRule(c.family, c.condition));
        EXPECT_EQ(answer.hr, c.hr) << U8(c.condition);
        EXPECT_EQ(answer.result, c.hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(log.From("SmartMSIUpgradeCode"),
                  c.trace.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.trace})
            << U8(c.condition);
        EXPECT_TRUE(log.From("EvaluateExpression msiUpgradeCode").empty()) << U8(c.condition);
    }
    EXPECT_FALSE(MsiLoaded());
}

} // namespace
} // namespace tarn
