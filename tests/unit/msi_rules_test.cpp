// The installer tests over the scripted installer: every answer code the installer gives, the
// reports they write, the buffers handed to the installer, and the library released on every
// way out.
#include "machine/unavailable.h"
#include "rules/msi.h"
#include "support/elementeval.h"
#include "support/fakemachine.h"
#include "support/logcapture.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <functional>
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

struct Report {
    std::uint32_t severity;
    std::string source;
    std::string message;
};

std::vector<Report> Reports(const LogCapture& capture) {
    std::vector<Report> reports;
    for (const LogRecord& r : capture.Records()) {
        reports.push_back({r.severity, r.source, r.message});
    }
    return reports;
}

std::string Describe(const std::vector<Report>& reports) {
    std::string text;
    for (const Report& r : reports) {
        text += std::to_string(r.severity) + " " + r.source + ": " + r.message + "\n";
    }
    return text;
}

// Evaluates `rule` and checks its outcome, its reports in order and that the installer library
// was released and used within its contract.
void Check(FakeMachine& machine, const std::u16string& rule, HRESULT status,
           const std::u16string& raised, const std::vector<Report>& reports) {
    const LogCapture capture;
    const ElementOutcome outcome = EvaluateElement(machine, rule);
    EXPECT_EQ(outcome.status, status) << std::hex << outcome.status;
    EXPECT_EQ(Utf16ToUtf8(outcome.description), Utf16ToUtf8(raised));
    const std::vector<Report> written = Reports(capture);
    EXPECT_EQ(Describe(written), Describe(reports));
    EXPECT_EQ(machine.installer.Loaded(), 0) << "installer library not released";
    EXPECT_TRUE(machine.installer.Violations().empty()) << machine.installer.Violations()[0];
}

struct ProductCase {
    const char* name;
    std::function<void(FakeMachine&)> script;
    HRESULT status;
    const char16_t* raised; // description, empty when nothing is raised
    bool notFoundReport;
};

const std::u16string kNotFound = u"Product code '" + kProduct + u"' not found.";

void Answer(FakeMachine& m, UINT answer) {
    m.installer.AddProduct(kProduct, u"1.0");
    m.installer.SetProductAnswer(kProduct, answer);
}

TEST(SmartMSIProductCode, EveryInstallerAnswer) {
    const ProductCase cases[] = {
        {"known", [](FakeMachine& m) { m.installer.AddProduct(kProduct, u"1.0"); }, 0, u"", false},
        {"more data", [](FakeMachine& m) { Answer(m, ERROR_MORE_DATA); }, 0, u"", false},
        {"unknown product", [](FakeMachine&) {}, 1, u"", true},
        {"unknown product answered", [](FakeMachine& m) { Answer(m, ERROR_UNKNOWN_PRODUCT); }, 1,
         u"", true},
        {"invalid parameter", [](FakeMachine& m) { Answer(m, ERROR_INVALID_PARAMETER); }, E_FAIL,
         u"msiProductInstalled failed to obtain MsiGetProductInfo from system", false},
        {"bad configuration", [](FakeMachine& m) { Answer(m, ERROR_BAD_CONFIGURATION); }, E_FAIL,
         u"msiProductInstalled failed to obtain MsiGetProductInfo from system", false},
        {"no more items", [](FakeMachine& m) { Answer(m, ERROR_NO_MORE_ITEMS); }, E_FAIL,
         u"msiProductInstalled failed to obtain MsiGetProductInfo from system", false},
        {"library not loadable", [](FakeMachine& m) { m.installer.SetLoadable(false); }, E_FAIL,
         u"EvaluateExpressionNode_msiProductInstalled could not load MSI.DLL", false},
        {"function missing",
         [](FakeMachine& m) { m.installer.RemoveFunction("MsiGetProductInfoW"); }, E_FAIL,
         u"EvaluateExpressionNode_msiProductInstalled could not find MsiGetProductInfoW", false},
        {"other functions missing",
         [](FakeMachine& m) {
             m.installer.RemoveFunction("MsiEnumRelatedProductsW");
             m.installer.AddProduct(kProduct, u"1.0");
         },
         0, u"", false},
    };
    for (const ProductCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMachine machine;
        c.script(machine);
        std::vector<Report> reports;
        if (c.notFoundReport) {
            reports.push_back(
                {4, "EvaluateExpressionNode_msiProductInstalled", Utf16ToUtf8(kNotFound)});
        }
        if (*c.raised == u'\0') {
            const std::string result = std::to_string(c.status);
            reports.push_back({8, "SmartMSIProductCode",
                               "productCode: '" + Utf16ToUtf8(kProduct) + "', result: " + result});
        }
        Check(machine, ProductCodeRule(kProduct), c.status, c.raised, reports);
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
        Check(machine, rule, E_FAIL, u"Expression has no 'productCode' attribute", {});
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
              u"msiProductInstalled failed to obtain MsiGetProductInfo from system", {});
        ASSERT_EQ(machine.installer.Calls().size(), 1u);
        EXPECT_EQ(machine.installer.Calls()[0].code, code);
    }
}

struct UpgradeCase {
    const char* name;
    std::function<void(FakeMachine&)> script;
    std::u16string condition;
    HRESULT status;
    std::u16string raised;
    std::vector<Report> reports;
};

void Family(FakeMachine& m,
            const std::vector<std::pair<std::u16string, const char16_t*>>& products) {
    for (const auto& [code, version] : products) {
        m.installer.AddRelated(kUpgrade, code);
        if (version != nullptr) {
            m.installer.AddProduct(code, std::u16string(version));
        } else {
            m.installer.AddProduct(code, std::nullopt);
        }
    }
}

void OldAndNew(FakeMachine& m) {
    Family(m, {{kOld, u"2.0"}, {kNew, u"3.0"}});
}

Report Found(const char* version, const std::u16string& product) {
    return {8, "SmartMSIUpgradeCode",
            std::string("Version [") + version + "] found. Matching product code is [" +
                Utf16ToUtf8(product) + "]."};
}

const Report kNoneFound{8, "SmartMSIUpgradeCode",
                        "No products found for UpgradeCode and version range."};

Report Warning(const std::string& message) {
    return {2, "EvaluateExpression msiUpgradeCode", message};
}

std::string U8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

TEST(SmartMSIUpgradeCode, EveryInstallerAnswerAndVersionRange) {
    const UpgradeCase cases[] = {
        {"no related products",
         [](FakeMachine&) {},
         u"Comparison='HIGHER' version='0'",
         1,
         u"",
         {kNoneFound}},
        {"newer product matches",
         OldAndNew,
         u"Comparison='HIGHER_OR_SAME' version='2.5'",
         0,
         u"",
         {Found("3.0", kNew)}},
        {"older product matches",
         OldAndNew,
         u"Comparison='LOWER' version='2.5'",
         0,
         u"",
         {Found("2.0", kOld)}},
        {"nothing in range", OldAndNew, u"Comparison='HIGHER' version='3.0'", 1, u"", {kNoneFound}},
        {"between bounds",
         OldAndNew,
         u"Comparison='BETWEEN' version='3.0' versionLower='2.0.0.1'",
         0,
         u"",
         {Found("3.0", kNew)}},
        {"between without lower bound",
         OldAndNew,
         u"Comparison='between' version='2.0'",
         0,
         u"",
         {Found("2.0", kOld)}},
        {"missing parts are 0",
         [](FakeMachine& m) {
             Family(m, {{kOld, u"1.2.3"}});
         },
         u"Comparison='SAME' version='1.2.3.0'",
         0,
         u"",
         {Found("1.2.3", kOld)}},
        {"first code in code-unit order is reported",
         [](FakeMachine& m) {
             Family(m, {{kLower, u"5.0"}, {kUpper, u"5.0"}, {kNew, u"5.0"}});
         },
         u"Comparison='SAME' version='5'",
         0,
         u"",
         {Found("5.0", kNew)}},
        {"upper case sorts before lower case",
         [](FakeMachine& m) {
             Family(m, {{kLower, u"5.0"}, {kUpper, u"5.0"}});
         },
         u"Comparison='SAME' version='5'",
         0,
         u"",
         {Found("5.0", kUpper)}},
        {"a code enumerated twice keeps the version read last",
         [](FakeMachine& m) {
             Family(m, {{kOld, u"2.0"}, {kOld, u"2.0"}});
             m.installer.ChangeVersionAfterRead(kOld, u"4.0");
         },
         u"Comparison='SAME' version='4'",
         0,
         u"",
         {Found("4.0", kOld)}},
        {"unreadable version is skipped",
         [](FakeMachine& m) {
             Family(m, {{kOld, nullptr}, {kNew, u"3.0"}});
         },
         u"Comparison='HIGHER' version='0'",
         0,
         u"",
         {Warning("Failed to obtain product version: " + U8(kOld) + " (1608)"),
          Found("3.0", kNew)}},
        {"unreadable version cannot match",
         [](FakeMachine& m) {
             Family(m, {{kOld, u"2.0"}, {kNew, u"3.0"}});
             m.installer.SetProductAnswer(kNew, ERROR_BAD_CONFIGURATION);
         },
         u"Comparison='SAME' version='3.0'",
         1,
         u"",
         {Warning("Failed to obtain product version: " + U8(kNew) + " (1610)"), kNoneFound}},
        {"version too long for its buffer",
         [](FakeMachine& m) {
             Family(m, {{kOld, u"2.0"}});
             m.installer.AddProduct(kOld, u"2." + std::u16string(254, u'0'));
         },
         u"Comparison='HIGHER' version='0'",
         1,
         u"",
         {Warning("Failed to obtain product version: " + U8(kOld) + " (234)"), kNoneFound}},
        {"longest version that fits",
         [](FakeMachine& m) {
             Family(m, {{kOld, u"2.0"}});
             m.installer.AddProduct(kOld, u"2." + std::u16string(253, u'0'));
         },
         u"Comparison='SAME' version='2'",
         0,
         u"",
         {Found(("2." + std::string(253, '0')).c_str(), kOld)}},
        {"enumeration fails in the middle",
         [](FakeMachine& m) {
             Family(m, {{kOld, u"2.0"}, {kNew, u"3.0"}});
             m.installer.FailEnumeration(kUpgrade, 1, ERROR_BAD_CONFIGURATION);
         },
         u"Comparison='HIGHER' version='0'",
         0,
         u"",
         {Warning("Failed to enumerate products: " + U8(kUpgrade) + " (1610)"),
          Found("2.0", kOld)}},
        {"products after a failed index are not seen",
         [](FakeMachine& m) {
             Family(m, {{kOld, u"2.0"}, {kNew, u"3.0"}});
             m.installer.FailEnumeration(kUpgrade, 1, ERROR_INVALID_PARAMETER);
         },
         u"Comparison='SAME' version='3.0'",
         1,
         u"",
         {Warning("Failed to enumerate products: " + U8(kUpgrade) + " (87)"), kNoneFound}},
        {"unknown comparison with a product raises",
         OldAndNew,
         u"Comparison='EQUAL' version='2.0'",
         E_FAIL,
         u"CompareVersions() Unknown comparison type : 'EQUAL'",
         {}},
        {"unknown comparison without products",
         [](FakeMachine&) {},
         u"Comparison='EQUAL' version='2.0'",
         1,
         u"",
         {kNoneFound}},
        {"library not loadable",
         [](FakeMachine& m) { m.installer.SetLoadable(false); },
         u"Comparison='HIGHER' version='0'",
         E_FAIL,
         u"EvaluateExpression msiUpgradeCode could not load MSI.DLL",
         {}},
        {"enumeration function missing",
         [](FakeMachine& m) { m.installer.RemoveFunction("MsiEnumRelatedProductsW"); },
         u"Comparison='HIGHER' version='0'",
         E_FAIL,
         u"EvaluateExpression msiUpgradeCode could not find MsiEnumRelatedProductsW",
         {}},
        {"both functions missing",
         [](FakeMachine& m) {
             m.installer.RemoveFunction("MsiGetProductInfoW");
             m.installer.RemoveFunction("MsiEnumRelatedProductsW");
         },
         u"Comparison='HIGHER' version='0'",
         E_FAIL,
         u"EvaluateExpression msiUpgradeCode could not find MsiEnumRelatedProductsW",
         {}},
        {"product info function missing",
         [](FakeMachine& m) { m.installer.RemoveFunction("MsiGetProductInfoW"); },
         u"Comparison='HIGHER' version='0'",
         E_FAIL,
         u"EvaluateExpression msiUpgradeCode could not find MsiGetProductInfoW",
         {}},
    };
    for (const UpgradeCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMachine machine;
        c.script(machine);
        Check(machine, UpgradeCodeRule(c.condition), c.status, c.raised, c.reports);
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
    const struct {
        const char16_t* rule;
        const char16_t* raised;
    } cases[] = {
        {u"<SmartMSIUpgradeCode Comparison='SAME' version='1'/>",
         u"Expression has no 'upgradeCode' attribute"},
        {u"<SmartMSIUpgradeCode UpgradeCode='{x}' Comparison='SAME' version='1'/>",
         u"Expression has no 'upgradeCode' attribute"},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}'/>",
         u"Failed to read version details for SmartMSIUpgradeCode"},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}' comparison='SAME' version='1'/>",
         u"Failed to read version details for SmartMSIUpgradeCode"},
        {u"<SmartMSIUpgradeCode upgradeCode='{x}' Comparison='SAME' version=''/>",
         u"Failed to read version details for SmartMSIUpgradeCode"},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        Check(machine, c.rule, E_FAIL, c.raised, {});
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
        Check(machine, rule, 1, u"", {Warning(warning), kNoneFound});
        EXPECT_EQ(machine.installer.Calls().size(), 1u);
    }
}

TEST(IsPatchInstalled, NeedsPatchCodeAndNeverHolds) {
    const struct {
        const char16_t* rule;
        HRESULT status;
        const char16_t* raised;
    } cases[] = {
        {u"<IsPatchInstalled PatchCode='{5D0C1E2A-7B3F-4A61-9E58-0C2D4B6F8A13}'/>", 1, u""},
        {u"<IsPatchInstalled PatchCode=''/>", 1, u""},
        {u"<ispatchinstalled PatchCode='x'/>", 1, u""},
        {u"<IsPatchInstalled/>", E_FAIL, u"Expression has no 'PatchCode' attribute"},
        {u"<IsPatchInstalled patchCode='x'/>", E_FAIL, u"Expression has no 'PatchCode' attribute"},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        Check(machine, c.rule, c.status, c.raised, {});
        EXPECT_EQ(machine.installer.Loads(), 0) << "no installer call";
    }
}

TEST(InstallerTests, AMachineWithoutWindowsSaysSo) {
    UnavailableMachine machine;
    const std::u16string rules[] = {ProductCodeRule(kProduct),
                                    UpgradeCodeRule(u"Comparison='SAME' version='1'")};
    for (const std::u16string& rule : rules) {
        const ElementOutcome outcome = EvaluateElement(machine, rule);
        EXPECT_EQ(outcome.status, UnavailableMachine::kNeedsWindowsImage);
        EXPECT_EQ(U8(outcome.description), "A Windows Installer query needs a Windows image");
    }
    EXPECT_EQ(EvaluateElement(machine, u"<IsPatchInstalled PatchCode='x'/>").status, 1);
}

} // namespace
} // namespace tarn::test
