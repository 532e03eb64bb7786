// Rules that the component hands to a foreign engine: the tests' own testengine.dll, registered
// by the fixture rule_engine_registered. The test loads the registered DLL itself, so the
// engines COM creates for the component are counted in the module whose exports it reads.
#include "engine/testengine.h"
#include "support/componentlog.h"
#include "support/provider.h"

#include "rules/xml/dom.h"
#include "utility/platform/bstr.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace tarn::test {
namespace {

const std::wstring kUnregisteredClass = L"{B065FBAD-7337-4D41-A170-0FB0178C7908}";
const std::wstring kNullClass = L"{00000000-0000-0000-0000-000000000000}";

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::wstring Rule(const std::wstring& engine, const std::wstring& content) {
    return L"<rule engine=\"" + engine + L"\">" + content + L"</rule>";
}

std::wstring RuleDocument(const std::wstring& engine, const std::wstring& content) {
    return L"<ruleset>" + Rule(engine, content) + L"</ruleset>";
}

// The markup that the platform's DOM gives for the first child of the document's rule element.
std::wstring FirstChildXml(const std::wstring& document) {
    const xml::CreateResult dom = xml::TryCreateDocument();
    if (!dom.document || !dom.document->LoadXml(U16(document.c_str()))) {
        return L"(not loaded)";
    }
    const std::u16string markup = dom.document->SelectSingleNode(u"//rule").FirstChild().Xml();
    return std::wstring(markup.begin(), markup.end());
}

std::string Evaluation(const char* verdict, const std::wstring& engine = kTestEngineClass) {
    return "8 Inv Rule Evaluation = " + std::string(verdict) + ". Guid Provider = '" +
           Narrow(engine) + "'. Guid='No Rule Guid' ";
}

std::string EvaluationError(const char* hr, const std::wstring& engine = kTestEngineClass) {
    return "2 Error Evaluating rule. Error =" + std::string(hr) + ". Guid Provider = '" +
           Narrow(engine) + "'. Guid='No Rule Guid' ";
}

class RuleEngines : public testing::Test {
protected:
    void SetUp() override {
        const std::wstring key = std::wstring(L"CLSID\\") + kTestEngineClass + L"\\InprocServer32";
        wchar_t path[MAX_PATH] = {};
        DWORD size = sizeof(path);
        ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                               path, &size),
                  ERROR_SUCCESS)
            << "the engine is not registered";
        ASSERT_TRUE(engine.Load(reinterpret_cast<const char16_t*>(path)));
        liveInstances = engine.FindFunction<LiveInstancesFunction>("TestEngineLiveInstances");
        lastText = engine.FindFunction<LastTextFunction>("TestEngineLastText");
        ASSERT_TRUE(liveInstances && lastText && provider);
        ASSERT_EQ(liveInstances(), 0);
    }

    std::wstring LastText() const {
        const Bstr text(lastText());
        return std::wstring(text.Get(), SysStringLen(text.Get()));
    }

    ComScope com;
    LibraryHandle engine;
    LiveInstancesFunction liveInstances = nullptr;
    LastTextFunction lastText = nullptr;
    ProviderDll dll;
    ComPtr<IInventoryRuleProvider> provider = dll.Create();
};

// The engine gets the first child node's own markup, whatever kind of node it is; the nodes
// after it stay out of the text.
const struct {
    const wchar_t* content;
    Answer answer;
} kContents[] = {
    {L"<answer result=\"true\"/>", {S_OK, VARIANT_TRUE}},
    {L"<answer result=\"true\" note='a &amp; \"b\"'><inner>x &lt; 2<leaf n=\"1\"/></inner>"
     L"<!--c--></answer><answer hr=\"80004005\"/>",
     {S_OK, VARIANT_TRUE}},
    {L"plain text<answer hr=\"80004005\" result=\"true\"/>", {S_FALSE, VARIANT_FALSE}},
    {L"<![CDATA[<answer result=\"true\"/> & <]]><answer hr=\"80004005\"/>", {S_OK, VARIANT_TRUE}},
    {L"<!--result=\"true\"--><answer hr=\"80004005\"/>", {S_OK, VARIANT_TRUE}},
};

TEST_F(RuleEngines, EngineReceivesTheFirstChildAsTheDomSerialisesIt) {
    for (const auto& c : kContents) {
        SCOPED_TRACE(Narrow(c.content));
        const std::wstring document = RuleDocument(kTestEngineClass, c.content);
        EXPECT_EQ(Evaluate(provider.Get(), document), c.answer);
        EXPECT_EQ(LastText(), FirstChildXml(document));
    }
}

// The engine's HRESULT and answer become the rule's status; S_OK with false, S_FALSE and
// other success codes do not hold, and a failure code is the status itself.
const struct {
    const wchar_t* content;
    Answer answer;
    std::string report;
} kAnswers[] = {
    {L"<answer result=\"true\"/>", {S_OK, VARIANT_TRUE}, Evaluation("TRUE")},
    {L"<answer/>", {S_FALSE, VARIANT_FALSE}, Evaluation("FALSE")},
    {L"<answer hr=\"1\" result=\"true\"/>", {S_FALSE, VARIANT_FALSE}, Evaluation("FALSE")},
    {L"<answer hr=\"2\" result=\"true\"/>", {2, VARIANT_FALSE}, Evaluation("FALSE")},
    {L"<answer hr=\"80070005\" result=\"true\"/>",
     {E_ACCESSDENIED, VARIANT_FALSE},
     EvaluationError("80070005")},
};

TEST_F(RuleEngines, EngineAnswersBecomeTheRuleStatus) {
    for (const auto& c : kAnswers) {
        SCOPED_TRACE(Narrow(c.content));
        const ComponentLogSince log;
        EXPECT_EQ(Evaluate(provider.Get(), RuleDocument(kTestEngineClass, c.content)), c.answer);
        EXPECT_EQ(log.From("CRuleEvaluator::"), std::vector<std::string>{c.report});
    }
}

TEST_F(RuleEngines, OneEnginePerEngineTextAndProviderObject) {
    const std::wstring holds = L"<answer result=\"true\"/>";
    const std::wstring rule = RuleDocument(kTestEngineClass, holds);
    const std::wstring twice = L"<ruleset><and>" + Rule(kTestEngineClass, holds) +
                               Rule(kTestEngineClass, holds) + L"</and></ruleset>";
    EXPECT_EQ(Evaluate(provider.Get(), twice), (Answer{S_OK, VARIANT_TRUE}));
    EXPECT_EQ(liveInstances(), 1);
    EXPECT_EQ(Evaluate(provider.Get(), rule), (Answer{S_OK, VARIANT_TRUE}));
    EXPECT_EQ(liveInstances(), 1) << "the engine is kept";

    // The same class written in lower case is another engine.
    std::wstring lower = kTestEngineClass;
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    EXPECT_EQ(Evaluate(provider.Get(), RuleDocument(lower, holds)), (Answer{S_OK, VARIANT_TRUE}));
    EXPECT_EQ(liveInstances(), 2);

    ComPtr<IInventoryRuleProvider> other = dll.Create();
    ASSERT_TRUE(other);
    EXPECT_EQ(Evaluate(other.Get(), rule), (Answer{S_OK, VARIANT_TRUE}));
    EXPECT_EQ(liveInstances(), 3) << "each provider object has engines of its own";
    other.Reset();
    EXPECT_EQ(liveInstances(), 2);
    provider.Reset();
    EXPECT_EQ(liveInstances(), 0);
}

// Engines that cannot be made: the rule's status, and so the document's HRESULT, says why.
const struct {
    std::wstring engine;
    HRESULT hr;
    std::vector<std::string> creation; // source CRuleEvaluator
    std::vector<std::string> failure;  // source CRuleEvaluator::
} kUnusable[] = {
    {kUnregisteredClass,
     REGDB_E_CLASSNOTREG,
     {"2 Unable to create Rule Engine Guid = '" + Narrow(kUnregisteredClass) + "'"},
     {EvaluationError("80040154", kUnregisteredClass)}},
    {kRefusingEngineClass,
     kTestEngineRefusal,
     {"2 Unable to create Rule Engine Guid = '" + Narrow(kRefusingEngineClass) + "'"},
     {EvaluationError("80047e57", kRefusingEngineClass)}},
    {L"not a class id", E_FAIL, {"2 Invalid Rule Engine guid = 'not a class id'"}, {}},
    {kNullClass, E_FAIL, {"2 Invalid Rule Engine guid = '" + Narrow(kNullClass) + "'"}, {}},
};

// A failed creation is not kept: the next rule tries again.
TEST_F(RuleEngines, EnginesThatCannotBeMadeGiveTheReason) {
    for (const auto& c : kUnusable) {
        for (int round = 1; round <= 2; ++round) {
            SCOPED_TRACE(Narrow(c.engine) + " round " + std::to_string(round));
            const ComponentLogSince log;
            EXPECT_EQ(Evaluate(provider.Get(), RuleDocument(c.engine, L"<answer/>")),
                      (Answer{c.hr, VARIANT_FALSE}));
            EXPECT_EQ(log.From("CRuleEvaluator"), c.creation);
            EXPECT_EQ(log.From("CRuleEvaluator::"), c.failure);
        }
    }
}

} // namespace
} // namespace tarn::test
