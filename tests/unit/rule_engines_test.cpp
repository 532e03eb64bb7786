// Rules delegated to other engines and to the detection engine, over a scripted machine: every
// row of the failure table with its reports, the engine cache, and the detection documents' os
// test with the version answers behind it. Real engines under COM are rule_engines_test's
// (tests/windows).
#include "rules/detection.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "support/evaluation.h"
#include "support/fakemachine.h"
#include "support/logcapture.h"
#include "utility/log/comerror.h"
#include "utility/platform/bstr.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

constexpr GUID kHolds = {0xA0000001, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};
constexpr GUID kFalse = {0xA0000002, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 2}};
constexpr GUID kSFalse = {0xA0000003, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 3}};
constexpr GUID kFails = {0xA0000004, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 4}};
constexpr GUID kUncreatable = {0xA0000005, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 5}};
const std::string kHoldsText = "{A0000001-0000-4000-8000-000000000001}";
const std::string kDetection = "{9C8307FC-6D88-43CD-B7C0-8D0F0CBD35FD}";

FakeMachine Engines() {
    FakeMachine m;
    m.engines[kHolds] = {S_OK, S_OK, VARIANT_TRUE};
    m.engines[kFalse] = {S_OK, S_OK, VARIANT_FALSE};
    m.engines[kSFalse] = {S_OK, S_FALSE, VARIANT_TRUE};
    m.engines[kFails] = {S_OK, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), VARIANT_TRUE};
    m.engines[kUncreatable] = {CLASS_E_CLASSNOTAVAILABLE};
    return m;
}

std::u16string Rule(const std::string& engine, const std::string& content = "<x/>") {
    return Utf8ToUtf16("<rule engine='" + engine + "'>" + content + "</rule>");
}

std::string Said(const std::string& result, const std::string& engine) {
    return "8 CRuleEvaluator::: Inv Rule Evaluation = " + result + ". Guid Provider = '" + engine +
           "'. Guid='No Rule Guid' \n";
}

std::string Failed(const std::string& code, const std::string& engine) {
    return "2 CRuleEvaluator::: Error Evaluating rule. Error =" + code + ". Guid Provider = '" +
           engine + "'. Guid='No Rule Guid' \n";
}

TEST(RuleDelegation, EveryAnswerOfAnEngineAndWhatItReports) {
    const std::string fals = "{A0000002-0000-4000-8000-000000000002}";
    const std::string sfalse = "{A0000003-0000-4000-8000-000000000003}";
    const std::string fails = "{A0000004-0000-4000-8000-000000000004}";
    const std::string uncreatable = "{A0000005-0000-4000-8000-000000000005}";
    const std::string unknown = "{A0000006-0000-4000-8000-000000000006}";
    const std::string os =
        "<detection><expression><os platform='Windows'/></expression></detection>";
    const struct {
        std::u16string rule;
        HRESULT status;
        std::string said;
    } cases[] = {
        {Rule(kHoldsText), 0, Said("TRUE", kHoldsText)},
        {Rule(fals), 1, Said("FALSE", fals)},
        {Rule(sfalse), 1, Said("FALSE", sfalse)},
        {Rule(fails), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), Failed("80070005", fails)},
        {Rule(uncreatable), CLASS_E_CLASSNOTAVAILABLE,
         "2 CRuleEvaluator: Unable to create Rule Engine Guid = '" + uncreatable + "'\n" +
             Failed("80040111", uncreatable)},
        {Rule(unknown), REGDB_E_CLASSNOTREG,
         "2 CRuleEvaluator: Unable to create Rule Engine Guid = '" + unknown + "'\n" +
             Failed("80040154", unknown)},
        {Rule("{A0000001-0000-4000-8000-00000000001}"), E_FAIL,
         "2 CRuleEvaluator: Invalid Rule Engine guid = '{A0000001-0000-4000-8000-00000000001}'\n"},
        {u"<rule engine='" + Utf8ToUtf16(kHoldsText) + u"'/>", 1,
         "2 CKpxTarnRuleProvider: ProviderCache EvaluateRule() failed.\n"},
        {Rule(kDetection, os), 0, ""},
        {Rule(kDetection, "<detection/>"), E_FAIL, Failed("80004005", kDetection)},
        {Rule("{DF407668-EC52-4582-8C1D-0C4D73E9530E}", "<and/>"), 0, ""},
    };
    for (const auto& c : cases) {
        FakeMachine machine = Engines();
        const LogCapture capture;
        const ElementOutcome outcome = EvaluateElement(machine, c.rule);
        EXPECT_EQ(outcome.status, c.status) << Utf16ToUtf8(c.rule);
        EXPECT_FALSE(outcome.raised) << Utf16ToUtf8(outcome.description);
        EXPECT_EQ(capture.Transcript(), c.said) << Utf16ToUtf8(c.rule);
    }
}

TEST(RuleDelegation, OneEnginePerTextForTheProviderObjectsLifetime) {
    FakeMachine machine = Engines();
    {
        rules::RuleProvider provider(machine);
        const std::string lower = "{a0000001-0000-4000-8000-000000000001}";
        const std::string uncreatable = "{A0000005-0000-4000-8000-000000000005}";
        for (const std::string& engine :
             {kHoldsText, kHoldsText, lower, uncreatable, uncreatable}) {
            VARIANT_BOOL result = VARIANT_FALSE;
            const Bstr document =
                Bstr::Copy(u"<ruleset>" + Rule(engine, "<x a=\"1\">t<y/></x><z/>") + u"</ruleset>");
            provider.EvaluateRules(document.Get(), &result);
        }
        EXPECT_EQ(machine.engineLog->created, 2); // two spellings; the failed one is not kept
        EXPECT_EQ(provider.engines().CachedEngines(), 2u);
        EXPECT_EQ(machine.engineLog->alive, 2);
    }
    EXPECT_EQ(machine.engineLog->alive, 0);
    EXPECT_EQ(machine.engineLog->rules, std::vector<std::u16string>(3, u"<x a=\"1\">t<y/></x>"));
}

// The os test of detection documents on Windows 6.1 (64-bit unless said otherwise).
TEST(DetectionDocument, TheOsTest) {
    const std::string n = "8 EvaluateExpressionNode_os: ";
    const struct {
        std::string expression;
        HRESULT status;
        std::string said; // reports, or the raise's description
        bool os32 = false;
    } cases[] = {
        {"<os platform='windows'/>", 0, ""},
        {"<OS platform='WINDOWS' major_version='' minor_version=''/>", 0, ""},
        {"<os platform='Linux'/>", 1, n + "Return false for OS Linux\n"},
        {"<os/>", E_FAIL, "Expression 'os' has no 'platform' attribute"},
        {"<os platform='Windows' arch='X64'/>", 0, ""},
        {"<os platform='Windows' arch='x64'/>", 1, n + "Return false for arch x64\n", true},
        {"<os platform='Windows' arch='x86'/>", 0, "", true},
        {"<os platform='Windows' arch='x86'/>", 1, n + "Return false for arch x86\n"},
        {"<os platform='Windows' arch='amd64'/>", 1,
         n + "Return false for unrecognized arch amd64\n"},
        {"<os platform='Windows' arch=''/>", 0, ""},
        {"<os platform='Windows' major_version='6' minor_version=' +1'/>", 0, ""},
        {"<os platform='Windows' major_version='6'/>", 0, ""},
        {"<os platform='Windows' major_version='10'/>", 1,
         n + "Return false for major_version 10 while actual version is 6.1\n"},
        {"<os platform='Windows' minor_version='2'/>", 1,
         n + "Return false for minor_version 2 while actual version is 6.1\n"},
        {"<os platform='Windows' major_version='six'/>", 1,
         n + "Return false for major_version six while actual version is 6.1\n"},
        {"<swc/><os platform='Windows'/>", 1, ""},
        {"<!-- os --><os platform='Windows'/>", E_FAIL, "Unknown expression type: '#comment'"},
        {"", 1, "8 EvaluateExpressionNode: No child node\n"},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        machine.os64 = !c.os32;
        machine.extendedVersion = OsVersionRecord{kVersionRecordExtendedSize, 6, 1, 7601};
        const LogCapture capture;
        const std::string document =
            "<d><detection><expression>" + c.expression + "</expression></detection></d>";
        HRESULT status = S_OK;
        std::string said;
        try {
            status = rules::EvaluateDetectionDocument(machine, Utf8ToUtf16(document));
            said = capture.Transcript();
        } catch (const _com_error& e) {
            status = e.Error();
            said = Utf16ToUtf8(e.Description());
        }
        EXPECT_EQ(status, c.status) << c.expression;
        EXPECT_EQ(said, c.said) << c.expression;
    }
}

TEST(DetectionDocument, WithoutExpressionOrVersionItFailsOrDoesNotHold) {
    FakeMachine machine; // neither version query answers
    const auto raised = [&](const char16_t* document) {
        try {
            rules::EvaluateDetectionDocument(machine, document);
        } catch (const _com_error& e) {
            return Utf16ToUtf8(e.Description());
        }
        return std::string("nothing raised");
    };
    EXPECT_TRUE(raised(u"<detection/>").starts_with("No '//detection/expression' node found "));
    EXPECT_TRUE(raised(u"<detection>").starts_with("Failed to load rule into XMLDOM. Error '"));
    const LogCapture capture;
    EXPECT_EQ(rules::EvaluateDetectionDocument(
                  machine, u"<detection><expression><os platform='Windows' major_version='6'/>"
                           u"</expression></detection>"),
              1);
    EXPECT_EQ(capture.Transcript(), "8 EvaluateExpressionNode_os: Failed to call getOSInfo\n");
}

// Without the extended record the basic one, the service-pack text and the registry.
TEST(GetOSInfo, FromTheBasicRecordAndTheRegistry) {
    const std::u16string options = u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions|";
    const struct {
        DWORD major;
        const char16_t* servicePack;
        bool hotfix;
        const char16_t *type, *suite;
        rules::OSInfo info;
    } cases[] = {
        {5, u"Service Pack 3", false, u"WinNT", u"", {0, 5, 0, 3, 0, 1, 0}},
        {4, u"service pack 6", true, u"LanmanNT", u"Enterprise", {2, 4, 0, 6, 1, 2, 0}},
        {4, u"Service Pack 6", false, u"ServerNT", u"Terminal Server", {16, 4, 0, 6, 0, 3, 0}},
        {4, u"Service Pack 6a", true, u"Workstation", u"Small Business", {0, 4, 0, 6, 0, 0, 0}},
        {5, u"Update 1", false, u"", u"", {0, 5, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        FakeMachine machine;
        machine.basicVersion = OsVersionRecord{kVersionRecordBasicSize, c.major, 0, 2195};
        std::copy_n(c.servicePack, std::u16string_view(c.servicePack).size(),
                    machine.basicVersion->servicePackText);
        if (c.hotfix) {
            machine.localMachineKeys = {
                u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009"};
        }
        machine.localMachineValues = {{options + u"ProductType", c.type},
                                      {options + u"ProductSuite", c.suite}};
        rules::OSInfo info;
        ASSERT_EQ(rules::getOSInfo(machine, info), 0);
        const auto fields = [](const rules::OSInfo& i) {
            return std::vector<std::uint32_t>{
                i.suiteMask,        i.majorVersion, i.minorVersion, i.servicePackMajor,
                i.servicePackMinor, i.productType,  i.buildNumber};
        };
        EXPECT_EQ(fields(info), fields(c.info)) << Utf16ToUtf8(c.servicePack);
    }
    // A value too long for the 256-byte buffer is not read.
    FakeMachine machine;
    machine.basicVersion = OsVersionRecord{kVersionRecordBasicSize, 6};
    machine.localMachineValues = {{options + u"ProductType", std::u16string(127, u'W')}};
    rules::OSInfo info;
    ASSERT_EQ(rules::getOSInfo(machine, info), 0);
    EXPECT_EQ(info.productType, 0);
}

// Engine texts that are almost class IDs, or far too long, and contents far too big: a status
// each, and reports cut to their limit.
TEST(RuleDelegation, HostileEngineTextsAndContents) {
    const std::string id = kHoldsText;
    for (const std::string& engine : std::vector<std::string>{
             id.substr(1), id.substr(0, id.size() - 1), "{A0000001-000-04000-8000-000000000001}",
             "{A000000G-0000-4000-8000-000000000001}", " " + id, id + " ",
             std::string(10240, '{')}) {
        FakeMachine machine = Engines();
        const LogCapture capture;
        EXPECT_EQ(EvaluateElement(machine, Rule(engine)).status, E_FAIL) << engine;
        const std::vector<LogRecord> records = capture.Records();
        ASSERT_EQ(records.size(), 1u) << engine;
        EXPECT_LE(records[0].message.size(), 4096u);
    }
    // Ten megabytes reach the engine whole.
    FakeMachine machine = Engines();
    const std::string big = "<x>" + std::string(10 << 20, 'a') + "</x>";
    EXPECT_EQ(EvaluateElement(machine, Rule(id, big)).status, 0);
    ASSERT_EQ(machine.engineLog->rules.size(), 1u);
    EXPECT_EQ(machine.engineLog->rules[0].size(), big.size());
    // Five hundred rules deep, this provider's and the detection engine's by turns: the
    // detection engine answers for its own document and looks no deeper.
    std::string nested = "<os platform='Windows'/>";
    for (int level = 0; level < 250; ++level) {
        nested = "<rule engine='{DF407668-EC52-4582-8C1D-0C4D73E9530E}'><rule engine='" +
                 kDetection + "'><detection><expression>" + nested +
                 "</expression></detection></rule></rule>";
    }
    // Its expression starts with a rule, an unknown expression type there.
    EXPECT_EQ(EvaluateElement(machine, Utf8ToUtf16(nested)).status, E_FAIL);
}

} // namespace
} // namespace tarn::test
