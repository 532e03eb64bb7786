// The installer tests over the scripted installer: every answer code the installer gives, the
// reports they write, the buffers handed to the installer, and the library released on every
// way out.
#include "machine/unavailable.h"
#include "rules/msi.h"
#include "support/evaluation.h"
#include "support/fakemachine.h"
#include "support/logcapture.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::test {
namespace {

const std::u16string kProduct = u"{5D0C1E2A-7B3F-4A61-9E58-0C2D4B6F8A13}";
const std::u16string kUpgrade = u"{A4E71C09-3D52-4F8B-B6A0-91E2C7D35F48}";
const std::u16string kOld = u"{3F9A2B71-0C4D-4E85-A1B6-7D2E9C0F5A34}";   // 2.0
const std::u16string kNew = u"{8B1E6D24-5A93-4C07-9F2E-3A6C1D8B7E50}";   // 3.0
const std::u16string kLower = u"{b0000000-0000-4000-8000-000000000001}"; // sorts after "{B"
const std::u16string kUpper = u"{B0000000-0000-4000-8000-000000000002}";

std::u16string ProductCodeRule(const std::u16string& code) {
    return u"<SmartMSIProductCode productCode='" + code + u"'/>";
}

std::u16string UpgradeCodeRule(const std::u16string& attributes) {
    return u"<SmartMSIUpgradeCode upgradeCode='" + kUpgrade + u"' " + attributes + u"/>";
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
    std::string written = Utf16ToUtf8(outcome.description);
    for (const LogRecord& r : capture.Records()) {
        written += Report(r.severity, r.source, r.message);
    }
    EXPECT_EQ(written, said);
    EXPECT_EQ(machine.installer.Loaded(), 0) << "installer library not released";
    EXPECT_TRUE(machine.installer.Violations().empty()) << machine.installer.Violations()[0];
}

std::string U8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

void Answer(FakeMachine& m, UINT answer) {
    m.installer.AddProduct(kProduct, u"1.0");
    m.installer.SetProductAnswer(kProduct, answer);
}

TEST(SmartMSIProductCode, EveryInstallerAnswer) {
    const std::string notFound = Report(4, "EvaluateExpressionNode_msiProductInstalled",
                                        "Product code '" + U8(kProduct) + "' not found.");
    const std::string result = "SmartMSIProductCode: productCode: '" + U8(kProduct) + "', result: ";
    const std::string notQueried =
        "msiProductInstalled failed to obtain MsiGetProductInfo from system";
    const struct {
        const char* name;
        void (*script)(FakeMachine&);
        HRESULT status;
        std::string said;
    } cases[] = {
        {"known", [](FakeMachine& m) { m.installer.AddProduct(kProduct, u"1.0"); }, 0,
         "8 " + result + "0\n"},
        {"more data", [](FakeMachine& m) { Answer(m, ERROR_MORE_DATA); }, 0, "8 " + result + "0\n"},
        {"unknown product", [](FakeMachine&) {}, 1, notFound + "8 " + result + "1\n"},
        {"unknown product answered", [](FakeMachine& m) { Answer(m, ERROR_UNKNOWN_PRODUCT); }, 1,
         notFound + "8 " + result + "1\n"},
        {"invalid parameter", [](FakeMachine& m) { Answer(m, ERROR_INVALID_PARAMETER); }, E_FAIL,
         notQueried},
        {"bad configuration", [](FakeMachine& m) { Answer(m, ERROR_BAD_CONFIGURATION); }, E_FAIL,
         notQueried},
        {"no more items", [](FakeMachine& m) { Answer(m, ERROR_NO_MORE_ITEMS); }, E_FAIL,
         notQueried},
        {"library not loadable", [](FakeMachine& m) { m.installer.SetLoadable(false); }, E_FAIL,
         "EvaluateExpressionNode_msiProductInstalled could not load MSI.DLL"},
        {"function missing",
         [](FakeMachine& m) { m.installer.RemoveFunction("MsiGetProductInfoW"); }, E_FAIL,
         "EvaluateExpressionNode_msiProductInstalled could not find MsiGetProductInfoW"},
        {"other functions missing",
         [](FakeMachine& m) {
             m.installer.RemoveFunction("MsiEnumRelatedProductsW");
             m.installer.AddProduct(kProduct, u"1.0");
         },
         0, "8 " + result + "0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMachine machine;
        c.script(machine);
        Check(machine, ProductCodeRule(kProduct), c.status, c.said);
    }
}

TEST(SmartMSIProductCode, AsksForTheProductNameWithoutBufferOrCount) {
    FakeMachine machine;
    machine.installer.AddProduct(kProduct, u"1.0");
    EvaluateElement(machine, ProductCodeRule(kProduct));
    const std::vector<InstallerCall>& calls = machine.installer.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "MsiGetProductInfoW");
    EXPECT_EQ(Utf16ToUtf8(calls[0].code), Utf16ToUtf8(kProduct));
    EXPECT_EQ(Utf16ToUtf8(calls[0].property), "ProductName");
    EXPECT_FALSE(calls[0].valueGiven);
    EXPECT_FALSE(calls[0].countGiven);
}

TEST(SmartMSIProductCode, MissingAttributeRaisesBeforeLoadingTheInstaller) {
    const char16_t* rules[] = {u"<SmartMSIProductCode/>",
                               u"<SmartMSIProductCode ProductCode='{x}'/>",
                               u"<SmartMSIProductCode><productCode>x</productCode>"
                               u"</SmartMSIProductCode>"};
    for (const char16_t* rule : rules) {
        FakeMachine machine;
        Check(machine, rule, E_FAIL, "Expression has no 'productCode' attribute");
        EXPECT_EQ(machine.installer.Loads(), 0);
    }
}

// Codes that are no GUIDs are refused by the installer with ERROR_INVALID_PARAMETER, which
// the test raises; reaching the installer at all shows that nothing was cut or rejected before.
TEST(SmartMSIProductCode, MalformedCodesReachTheInstallerAndRaise) {
    const std::u16string codes[] = {u"", u"not-a-guid", u"5D0C1E2A-7B3F-4A61-9E58-0C2D4B6F8A13",
                                    std::u16string(10 * 1024, u'F'),
                                    u"{" + std::u16string(10 * 1024, u'0') + u"}"};
    for (const std::u16string& code : codes) {
        FakeMachine machine;
        Check(machine, ProductCodeRule(code), E_FAIL,
              "msiProductInstalled failed to obtain MsiGetProductInfo from system");
        ASSERT_EQ(machine.installer.Calls().size(), 1u);
        EXPECT_EQ(machine.installer.Calls()[0].code, code);
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

const std::string kNoneFound =
    Report(8, "SmartMSIUpgradeCode", "No products found for UpgradeCode and version range.");

std::string Warning(const std::string& message) {
    return Report(2, "EvaluateExpression msiUpgradeCode", message);
}

std::string VersionWarning(const std::u16string& product, UINT answer) {
    return Warning("Failed to obtain product version: " + U8(product) + " (" +
                   std::to_string(answer) + ")");
}

std::string EnumerationWarning(UINT answer) {
    return Warning("Failed to enumerate products: " + U8(kUpgrade) + " (" + std::to_string(answer) +
                   ")");
}

#define ANY_VERSION u"Comparison='HIGHER' version='0'"

TEST(SmartMSIUpgradeCode, EveryInstallerAnswerAndVersionRange) {
    const struct {
        const char* name;
        void (*script)(FakeMachine&);
        const char16_t* condition;
        HRESULT status;
        std::string said;
    } cases[] = {
        {"no related products", [](FakeMachine&) {}, ANY_VERSION, 1, kNoneFound},
        {"newer product matches", OldAndNew, u"Comparison='HIGHER_OR_SAME' version='2.5'", 0,
         Found("3.0", kNew)},
        {"older product matches", OldAndNew, u"Comparison='LOWER' version='2.5'", 0,
         Found("2.0", kOld)},
        {"nothing in range", OldAndNew, u"Comparison='HIGHER' version='3.0'", 1, kNoneFound},
        {"between bounds", OldAndNew, u"Comparison='BETWEEN' version='3.0' versionLower='2.0.0.1'",
         0, Found("3.0", kNew)},
        {"between without lower bound", OldAndNew, u"Comparison='between' version='2.0'", 0,
         Found("2.0", kOld)},
        {"missing parts are 0", [](FakeMachine& m) { Family(m, kOld, u"1.2.3"); },
         u"Comparison='SAME' version='1.2.3.0'", 0, Found("1.2.3", kOld)},
        {"first code in code-unit order is reported",
         [](FakeMachine& m) { Family(m, kLower, u"5.0", kUpper, u"5.0", kNew, u"5.0"); },
         u"Comparison='SAME' version='5'", 0, Found("5.0", kNew)},
        {"upper case sorts before lower case",
         [](FakeMachine& m) { Family(m, kLower, u"5.0", kUpper, u"5.0"); },
         u"Comparison='SAME' version='5'", 0, Found("5.0", kUpper)},
        {"a code enumerated twice keeps the version read last",
         [](FakeMachine& m) {
             Family(m, kOld, u"2.0", kOld, u"2.0");
             m.installer.ChangeVersionAfterRead(kOld, u"4.0");
         },
         u"Comparison='SAME' version='4'", 0, Found("4.0", kOld)},
        {"unreadable version is skipped",
         [](FakeMachine& m) { Family(m, kOld, nullptr, kNew, u"3.0"); }, ANY_VERSION, 0,
         VersionWarning(kOld, 1608) + Found("3.0", kNew)},
        {"unreadable version cannot match",
         [](FakeMachine& m) {
             OldAndNew(m);
             m.installer.SetProductAnswer(kNew, ERROR_BAD_CONFIGURATION);
         },
         u"Comparison='SAME' version='3.0'", 1, VersionWarning(kNew, 1610) + kNoneFound},
        {"version too long for its buffer",
         [](FakeMachine& m) { Family(m, kOld, (u"2." + std::u16string(254, u'0')).c_str()); },
         ANY_VERSION, 1, VersionWarning(kOld, 234) + kNoneFound},
        {"longest version that fits",
         [](FakeMachine& m) { Family(m, kOld, (u"2." + std::u16string(253, u'0')).c_str()); },
         u"Comparison='SAME' version='2'", 0, Found("2." + std::string(253, '0'), kOld)},
        {"enumeration fails in the middle",
         [](FakeMachine& m) {
             OldAndNew(m);
             m.installer.FailEnumeration(kUpgrade, 1, ERROR_BAD_CONFIGURATION);
         },
         ANY_VERSION, 0, EnumerationWarning(1610) + Found("2.0", kOld)},
        {"products after a failed index are not seen",
         [](FakeMachine& m) {
             OldAndNew(m);
             m.installer.FailEnumeration(kUpgrade, 1, ERROR_INVALID_PARAMETER);
         },
         u"Comparison='SAME' version='3.0'", 1, EnumerationWarning(87) + kNoneFound},
        {"unknown comparison with a product raises", OldAndNew, u"Comparison='EQUAL' version='2.0'",
         E_FAIL, "CompareVersions() Unknown comparison type : 'EQUAL'"},
        {"unknown comparison without products", [](FakeMachine&) {},
         u"Comparison='EQUAL' version='2.0'", 1, kNoneFound},
        {"library not loadable", [](FakeMachine& m) { m.installer.SetLoadable(false); },
         ANY_VERSION, E_FAIL, "EvaluateExpression msiUpgradeCode could not load MSI.DLL"},
        {"enumeration function missing",
         [](FakeMachine& m) { m.installer.RemoveFunction("MsiEnumRelatedProductsW"); }, ANY_VERSION,
         E_FAIL, "EvaluateExpression msiUpgradeCode could not find MsiEnumRelatedProductsW"},
        {"both functions missing",
         [](FakeMachine& m) {
             m.installer.RemoveFunction("MsiGetProductInfoW");
             m.installer.RemoveFunction("MsiEnumRelatedProductsW");
         },
         ANY_VERSION, E_FAIL,
         "EvaluateExpression msiUpgradeCode could not find MsiEnumRelatedProductsW"},
        {"product info function missing",
         [](FakeMachine& m) { m.installer.RemoveFunction("MsiGetProductInfoW"); }, ANY_VERSION,
         E_FAIL, "EvaluateExpression msiUpgradeCode could not find MsiGetProductInfoW"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMachine machine;
        c.script(machine);
        Check(machine, UpgradeCodeRule(c.condition), c.status, c.said);
    }
}

TEST(SmartMSIUpgradeCode, EnumeratesInOrderAndReadsVersionsInto256Characters) {
    FakeMachine machine;
    OldAndNew(machine);
    EvaluateElement(machine, UpgradeCodeRule(u"Comparison='HIGHER' version='9'"));
    const std::vector<InstallerCall>& calls = machine.installer.Calls();
    ASSERT_EQ(calls.size(), 5u);
    const std::u16string versionOf[] = {kOld, kNew};
    for (DWORD i = 0; i < 3; ++i) {
        const InstallerCall& enumeration = calls[i * 2];
        EXPECT_EQ(enumeration.function, "MsiEnumRelatedProductsW");
        EXPECT_EQ(enumeration.index, i);
        EXPECT_EQ(U8(enumeration.code), U8(kUpgrade));
        if (i == 2) {
            break;
        }
        const InstallerCall& info = calls[i * 2 + 1];
        EXPECT_EQ(info.function, "MsiGetProductInfoW");
        EXPECT_EQ(U8(info.code), U8(versionOf[i]));
        EXPECT_EQ(U8(info.property), "VersionString");
        EXPECT_TRUE(info.valueGiven);
        ASSERT_TRUE(info.countGiven);
        EXPECT_EQ(info.countIn, 256u);
    }
}

TEST(SmartMSIUpgradeCode, RequiredAttributesAreCheckedBeforeLoadingTheInstaller) {
    const std::string noCode = "Expression has no 'upgradeCode' attribute";
    const std::string noCondition = "Failed to read version details for SmartMSIUpgradeCode";
    const struct {
        const char16_t* rule;
        std::string raised;
    } cases[] = {
        {u"<SmartMSIUpgradeCode Comparison='SAME' version='1'/>", noCode},
        {u"<SmartMSIUpgradeCode UpgradeCode='{x}' Comparison='SAME' version='1'/>", noCode},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}'/>", noCondition},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}' comparison='SAME' version='1'/>", noCondition},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}' Comparison='SAME' version=''/>", noCondition},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        Check(machine, c.rule, E_FAIL, c.raised);
        EXPECT_EQ(machine.installer.Loads(), 0) << Utf16ToUtf8(c.rule);
    }
}

TEST(SmartMSIUpgradeCode, MalformedUpgradeCodesEndTheEnumerationWithAWarning) {
    const std::u16string codes[] = {u"", u"upgrade", std::u16string(10 * 1024, u'{')};
    for (const std::u16string& code : codes) {
        FakeMachine machine;
        const std::u16string rule =
            u"<SmartMSIUpgradeCode upgradeCode='" + code + u"' Comparison='SAME' version='1'/>";
        std::string warning = "Failed to enumerate products: " + U8(code) + " (87)";
        warning.resize(std::min<std::size_t>(warning.size(), 4095));
        Check(machine, rule, 1, Warning(warning) + kNoneFound);
        EXPECT_EQ(machine.installer.Calls().size(), 1u);
    }
}

// It never holds and asks nothing (corpus: patch-*.xml), but needs its patch code.
TEST(IsPatchInstalled, NeedsPatchCode) {
    for (const char16_t* rule : {u"<IsPatchInstalled/>", u"<IsPatchInstalled patchCode='x'/>"}) {
        FakeMachine machine;
        Check(machine, rule, E_FAIL, "Expression has no 'PatchCode' attribute");
        EXPECT_EQ(machine.installer.Loads(), 0) << "no installer call";
    }
}

// Also the code and description of every query such a machine is asked.
TEST(InstallerTests, AMachineWithoutWindowsSaysSo) {
    UnavailableMachine machine;
    const std::u16string rules[] = {ProductCodeRule(kProduct),
                                    UpgradeCodeRule(u"Comparison='SAME' version='1'")};
    for (const std::u16string& rule : rules) {
        const ElementOutcome outcome = EvaluateElement(machine, rule);
        EXPECT_EQ(outcome.status, static_cast<HRESULT>(0x80070032u));
        EXPECT_EQ(U8(outcome.description), "A Windows Installer query needs a Windows image");
    }
    EXPECT_EQ(EvaluateElement(machine, u"<IsPatchInstalled PatchCode='x'/>").status, 1);
}

} // namespace
} // namespace tarn::test
