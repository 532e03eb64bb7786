// The installer tests over the scripted installer: every answer code the installer gives, the
// reports they write, and the library released and used within its contract on every way out.
// What a real installer answers is msi_test's (tests/windows).
#include "machine/unavailable.h"
#include "rules/msi.h"
#include "support/evaluation.h"
#include "support/fakemachine.h"
#include "support/logcapture.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn::test {
namespace {

const std::u16string kProduct = u"{5D0C1E2A-7B3F-4A61-9E58-0C2D4B6F8A13}";
const std::u16string kUpgrade = u"{A4E71C09-3D52-4F8B-B6A0-91E2C7D35F48}";
const std::u16string kOld = u"{3F9A2B71-0C4D-4E85-A1B6-7D2E9C0F5A34}";   // 2.0
const std::u16string kNew = u"{8B1E6D24-5A93-4C07-9F2E-3A6C1D8B7E50}";   // 3.0
const std::u16string kLower = u"{b0000000-0000-4000-8000-000000000001}"; // sorts after "{B"
const std::u16string kUpper = u"{B0000000-0000-4000-8000-000000000002}";

std::string U8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

// One report as "<severity> <source>: <message>" and a line feed.
std::string Report(std::uint32_t severity, const std::string& source, const std::string& message) {
    return std::to_string(severity) + " " + source + ": " + message + "\n";
}

// Evaluates `rule` and checks its status, what it said (the description of its raise, then
// every report it wrote, in order) and that the installer library was released and used within
// its contract.
void Check(FakeMachine& machine, const std::u16string& rule, HRESULT status,
           const std::string& said) {
    const LogCapture capture;
    const ElementOutcome outcome = EvaluateElement(machine, rule);
    EXPECT_EQ(outcome.status, status) << std::hex << outcome.status;
    EXPECT_EQ(U8(outcome.description) + capture.Transcript(), said);
    EXPECT_EQ(machine.installer.Loaded(), 0) << "installer library not released";
    EXPECT_TRUE(machine.installer.Violations().empty()) << machine.installer.Violations()[0];
}

// The library as a case leaves it: "MSI.DLL" not loadable, or the named function missing.
void Break(FakeMachine& m, const std::string& missing) {
    if (missing == "MSI.DLL") {
        m.installer.SetLoadable(false);
    } else if (!missing.empty()) {
        m.installer.RemoveFunction(missing);
    }
}

TEST(SmartMSIProductCode, EveryInstallerAnswer) {
    const std::string notFound = Report(4, "EvaluateExpressionNode_msiProductInstalled",
                                        "Product code '" + U8(kProduct) + "' not found.");
    const std::string result =
        "8 SmartMSIProductCode: productCode: '" + U8(kProduct) + "', result: ";
    const std::string notQueried =
        "msiProductInstalled failed to obtain MsiGetProductInfo from system";
    const std::string cannot = "EvaluateExpressionNode_msiProductInstalled could not ";
    constexpr UINT kKnown = 0;
    constexpr UINT kUnknown = 1;
    const struct {
        UINT answer; // kUnknown: the installer does not know the product
        std::string missing;
        HRESULT status;
        std::string said;
    } cases[] = {
        {kKnown, "", 0, result + "0\n"},
        {ERROR_MORE_DATA, "", 0, result + "0\n"},
        {kUnknown, "", 1, notFound + result + "1\n"},
        {ERROR_INVALID_PARAMETER, "", E_FAIL, notQueried},
        {ERROR_BAD_CONFIGURATION, "", E_FAIL, notQueried},
        {kKnown, "MSI.DLL", E_FAIL, cannot + "load MSI.DLL"},
        {kKnown, "MsiGetProductInfoW", E_FAIL, cannot + "find MsiGetProductInfoW"},
        {kKnown, "MsiEnumRelatedProductsW", 0, result + "0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.answer << " " << c.missing);
        FakeMachine machine;
        if (c.answer != kUnknown) {
            machine.installer.AddProduct(kProduct, u"1.0");
        }
        if (c.answer != kUnknown && c.answer != kKnown) {
            machine.installer.SetProductAnswer(kProduct, c.answer);
        }
        Break(machine, c.missing);
        Check(machine, u"<SmartMSIProductCode productCode='" + kProduct + u"'/>", c.status, c.said);
    }
}

// Related products of the family in enumeration order, each followed by its version (null:
// none).
template <class... More>
void Family(FakeMachine& m, const std::u16string& code, const char16_t* version, More... more) {
    m.installer.AddRelated(kUpgrade, code);
    m.installer.AddProduct(code, version ? std::optional<std::u16string>(version) : std::nullopt);
    if constexpr (sizeof...(more) > 0) {
        Family(m, more...);
    }
}

void OldAndNew(FakeMachine& m) {
    Family(m, kOld, u"2.0", kNew, u"3.0");
}

std::string Found(const std::string& version, const std::u16string& product) {
    return Report(8, "SmartMSIUpgradeCode",
                  "Version [" + version + "] found. Matching product code is [" + U8(product) +
                      "].");
}

// "Failed to obtain product version: <code>" or "Failed to enumerate products: <code>", with the
// installer's answer.
std::string Warning(const std::string& what, const std::u16string& code, UINT answer) {
    return Report(2, "EvaluateExpression msiUpgradeCode",
                  "Failed to " + what + ": " + U8(code) + " (" + std::to_string(answer) + ")");
}

TEST(SmartMSIUpgradeCode, EveryInstallerAnswerAndVersionRange) {
    const std::string none =
        Report(8, "SmartMSIUpgradeCode", "No products found for UpgradeCode and version range.");
    const std::string cannot = "EvaluateExpression msiUpgradeCode could not ";
    const struct {
        const char* name;
        void (*script)(FakeMachine&);
        const char16_t* condition;
        HRESULT status;
        std::string said;
        std::string missing = "";
    } cases[] = {
        {"no related products", [](FakeMachine&) {}, u"Comparison='HIGHER' version='0'", 1, none},
        {"newer product matches", OldAndNew, u"Comparison='HIGHER_OR_SAME' version='2.5'", 0,
         Found("3.0", kNew)},
        {"first code in code-unit order, upper case first",
         [](FakeMachine& m) { Family(m, kLower, u"5.0", kUpper, u"5.0"); },
         u"Comparison='SAME' version='5'", 0, Found("5.0", kUpper)},
        {"unreadable version cannot match",
         [](FakeMachine& m) {
             OldAndNew(m);
             m.installer.SetProductAnswer(kNew, ERROR_BAD_CONFIGURATION);
         },
         u"Comparison='SAME' version='3.0'", 1,
         Warning("obtain product version", kNew, 1610) + none},
        {"version too long for its 256 characters",
         [](FakeMachine& m) { Family(m, kOld, (u"2." + std::u16string(254, u'0')).c_str()); },
         u"Comparison='HIGHER' version='0'", 1,
         Warning("obtain product version", kOld, 234) + none},
        {"longest version that fits",
         [](FakeMachine& m) { Family(m, kOld, (u"2." + std::u16string(253, u'0')).c_str()); },
         u"Comparison='SAME' version='2'", 0, Found("2." + std::string(253, '0'), kOld)},
        {"products after a failed index are not seen",
         [](FakeMachine& m) {
             OldAndNew(m);
             m.installer.FailEnumeration(kUpgrade, 0, ERROR_INVALID_PARAMETER);
         },
         u"Comparison='HIGHER' version='0'", 1, Warning("enumerate products", kUpgrade, 87) + none},
        {"unknown comparison without products", [](FakeMachine&) {},
         u"Comparison='EQUAL' version='2.0'", 1, none},
        {"library not loadable", OldAndNew, u"Comparison='HIGHER' version='0'", E_FAIL,
         cannot + "load MSI.DLL", "MSI.DLL"},
        {"enumeration function missing", OldAndNew, u"Comparison='HIGHER' version='0'", E_FAIL,
         cannot + "find MsiEnumRelatedProductsW", "MsiEnumRelatedProductsW"},
        {"product info function missing", OldAndNew, u"Comparison='HIGHER' version='0'", E_FAIL,
         cannot + "find MsiGetProductInfoW", "MsiGetProductInfoW"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMachine machine;
        c.script(machine);
        Break(machine, c.missing);
        Check(machine,
              u"<SmartMSIUpgradeCode upgradeCode='" + kUpgrade + u"' " + c.condition + u"/>",
              c.status, c.said);
    }
}

// Without their attributes the tests raise before the installer is loaded.
TEST(InstallerTests, RequiredAttributesAreCheckedFirst) {
    const std::string noProduct = "Expression has no 'productCode' attribute";
    const std::string noFamily = "Expression has no 'upgradeCode' attribute";
    const std::string noCondition = "Failed to read version details for SmartMSIUpgradeCode";
    const struct {
        const char16_t* rule;
        std::string raised;
    } cases[] = {
        {u"<SmartMSIProductCode ProductCode='{x}'/>", noProduct},
        {u"<SmartMSIProductCode><productCode>x</productCode></SmartMSIProductCode>", noProduct},
        {u"<SmartMSIUpgradeCode UpgradeCode='{x}' Comparison='SAME' version='1'/>", noFamily},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}'/>", noCondition},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}' comparison='SAME' version='1'/>", noCondition},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}' Comparison='SAME' version=''/>", noCondition},
        {u"<IsPatchInstalled patchCode='x'/>", "Expression has no 'PatchCode' attribute"},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        Check(machine, c.rule, E_FAIL, c.raised);
        EXPECT_EQ(machine.installer.Loads(), 0) << U8(c.rule);
    }
}

// Also the code and description of every query such a machine is asked.
TEST(InstallerTests, AMachineWithoutWindowsSaysSo) {
    UnavailableMachine machine;
    const std::u16string rules[] = {u"<SmartMSIProductCode productCode='" + kProduct + u"'/>",
                                    u"<SmartMSIUpgradeCode upgradeCode='" + kUpgrade +
                                        u"' Comparison='SAME' version='1'/>"};
    for (const std::u16string& rule : rules) {
        const ElementOutcome outcome = EvaluateElement(machine, rule);
        EXPECT_EQ(outcome.status, static_cast<HRESULT>(0x80070032u));
        EXPECT_EQ(U8(outcome.description), "A Windows Installer query needs a Windows image");
    }
    EXPECT_EQ(EvaluateElement(machine, u"<IsPatchInstalled PatchCode='x'/>").status, 1);
}

} // namespace
} // namespace tarn::test
