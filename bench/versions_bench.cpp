// Version parsing and comparison per call, and one upgrade-family test over a family of 1,000
// installed products answered by the scripted installer.
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/versions.h"
#include "rules/xml/dom.h"
#include "support/fakemachine.h"
#include "utility/text/format.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using tarn::rules::PackedVersion;

void ParseVersionString(benchmark::State& state, const std::u16string& text) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(tarn::rules::ParseVersionString(text));
    }
}
BENCHMARK_CAPTURE(ParseVersionString, four_parts, std::u16string(u"10.0.19041.1288"));
BENCHMARK_CAPTURE(ParseVersionString, one_part, std::u16string(u"7"));
BENCHMARK_CAPTURE(ParseVersionString, separators_64k, std::u16string(64 * 1024, u'.'));

void CompareVersions(benchmark::State& state, const std::u16string& comparison) {
    PackedVersion actual = tarn::rules::ParseVersionString(u"10.0.19041.1288");
    const PackedVersion reference = tarn::rules::ParseVersionString(u"10.0.19041.0");
    for (auto _ : state) {
        benchmark::DoNotOptimize(actual);
        benchmark::DoNotOptimize(
            tarn::rules::CompareVersions(actual, reference, comparison, 0x0001000000000000ull));
    }
}
// The first and the last name of the operator table.
BENCHMARK_CAPTURE(CompareVersions, LOWER, std::u16string(u"LOWER"));
BENCHMARK_CAPTURE(CompareVersions, between, std::u16string(u"between"));

void UpgradeFamilyOf1000(benchmark::State& state) {
    constexpr char16_t kFamily[] = u"{A4E71C09-3D52-4F8B-B6A0-91E2C7D35F48}";
    tarn::test::FakeMachine machine;
    for (unsigned i = 0; i < 1000; ++i) {
        const std::u16string code =
            tarn::FormatString(39, u"{%08X-0000-4000-8000-000000000000}", i * 2654435761u);
        machine.installer.AddRelated(kFamily, code);
        machine.installer.AddProduct(code, tarn::FormatString(32, u"1.%u.%u", i / 100, i % 100));
    }
    tarn::xml::CreateResult created = tarn::xml::TryCreateDocument();
    // No product is that new: every version is read and compared.
    created.document->LoadXml(u"<SmartMSIUpgradeCode upgradeCode='" + std::u16string(kFamily) +
                              u"' Comparison='HIGHER' version='2.0'/>");
    const tarn::xml::Node element = created.document->DocumentElement();
    tarn::rules::RuleProvider provider(machine);
    for (auto _ : state) {
        benchmark::DoNotOptimize(provider.EvaluateExpressionNode(element, false));
    }
}
BENCHMARK(UpgradeFamilyOf1000)->Unit(benchmark::kMicrosecond);

} // namespace
