// Rule delegation: a rule for another engine whose instance is cached against calling that
// engine directly with the same text, and a detection document against parsing it alone.
#include "rules/detection.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/xml/dom.h"
#include "support/fakemachine.h"
#include "utility/platform/bstr.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

namespace {

constexpr GUID kEngine = {0xC0000001, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};
const std::u16string kRule = u"<rule engine='{C0000001-0000-4000-8000-000000000001}'>"
                             u"<inventory><file name='tool.exe' version='2.0'/></inventory></rule>";
const std::u16string kDetection =
    u"<detection><expression><os platform='Windows' arch='x64' major_version='6' "
    u"minor_version='1'/></expression></detection>";

tarn::test::FakeMachine Machine() {
    tarn::test::FakeMachine machine;
    machine.engines[kEngine] = {S_OK, S_OK, VARIANT_TRUE};
    machine.os64 = true;
    machine.extendedVersion = tarn::OsVersionRecord{tarn::kVersionRecordExtendedSize, 6, 1, 7601};
    return machine;
}

void CachedEngineRule(benchmark::State& state) {
    tarn::test::FakeMachine machine = Machine();
    tarn::rules::RuleProvider provider(machine);
    tarn::xml::CreateResult created = tarn::xml::TryCreateDocument();
    created.document->LoadXml(kRule);
    const tarn::xml::Node rule = created.document->DocumentElement();
    for (auto _ : state) {
        benchmark::DoNotOptimize(provider.EvaluateExpressionNode(rule, false));
        machine.engineLog->rules.clear();
    }
}
BENCHMARK(CachedEngineRule);

void DirectEngineCall(benchmark::State& state) {
    tarn::test::FakeMachine machine = Machine();
    const std::shared_ptr<tarn::RuleEngine> engine = machine.CreateRuleEngine(kEngine).engine;
    const std::u16string content =
        u"<inventory><file name=\"tool.exe\" version=\"2.0\"/></inventory>";
    for (auto _ : state) {
        const tarn::Bstr text = tarn::Bstr::Copy(content);
        VARIANT_BOOL result = VARIANT_FALSE;
        benchmark::DoNotOptimize(engine->EvaluateRules(text.Get(), &result));
        machine.engineLog->rules.clear();
    }
}
BENCHMARK(DirectEngineCall);

void DetectionDocument(benchmark::State& state) {
    tarn::test::FakeMachine machine = Machine();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tarn::rules::EvaluateDetectionDocument(machine, kDetection));
    }
}
BENCHMARK(DetectionDocument);

void DetectionParseOnly(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer(
            kDetection.data(), kDetection.size() * sizeof(char16_t),
            pugi::parse_default | pugi::parse_comments | pugi::parse_pi, pugi::encoding_utf16_le));
    }
}
BENCHMARK(DetectionParseOnly);

} // namespace
