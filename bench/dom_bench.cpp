// The XML document access over pugixml on the documents that stress it: nesting 256 to
// 100,000 levels deep and a 50 MB document. Each operation is measured on its own.
#include "rules/xml/dom.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

std::u16string Nested(std::int64_t depth) {
    std::u16string text;
    for (std::int64_t i = 1; i < depth; ++i) {
        text += u"<d>";
    }
    text += u"<ruleset id=\"x\">t</ruleset>";
    for (std::int64_t i = 1; i < depth; ++i) {
        text += u"</d>";
    }
    return text;
}

std::u16string Large(std::size_t bytes) {
    const std::u16string item = u"<item id=\"12345\" v=\"some value\">text &amp; more</item>\n";
    std::u16string text = u"<r>";
    while ((text.size() + item.size()) * sizeof(char16_t) < bytes) {
        text += item;
    }
    return text + u"<ruleset id=\"x\"/></r>";
}

const std::u16string& Text(std::int64_t arg) {
    static std::u16string cached;
    static std::int64_t cachedArg = -1;
    if (arg != cachedArg) {
        cached = arg > 0 ? Nested(arg) : Large(50u << 20);
        cachedArg = arg;
    }
    return cached;
}

std::unique_ptr<tarn::xml::Document> Loaded(const std::u16string& text) {
    auto document = std::move(tarn::xml::TryCreateDocument().document);
    document->LoadXml(text);
    return document;
}

// Argument: nesting depth, or 0 for the 50 MB document.
void Args(benchmark::internal::Benchmark* b) {
    b->Arg(256)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(0)->Unit(benchmark::kMillisecond);
}

void BM_DomLoad(benchmark::State& state) {
    const std::u16string& text = Text(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Loaded(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size() * 2));
}
BENCHMARK(BM_DomLoad)->Apply(Args);

void BM_DomSelectRuleset(benchmark::State& state) {
    const auto document = Loaded(Text(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(document->SelectSingleNode(u"//ruleset"));
    }
}
BENCHMARK(BM_DomSelectRuleset)->Apply(Args);

void BM_DomSelectWithPredicate(benchmark::State& state) {
    const auto document = Loaded(Text(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(document->SelectSingleNode(u"//ruleset[@id='x']"));
    }
}
BENCHMARK(BM_DomSelectWithPredicate)->Apply(Args);

void BM_DomRootText(benchmark::State& state) {
    const auto document = Loaded(Text(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(document->DocumentElement().Text());
    }
}
BENCHMARK(BM_DomRootText)->Apply(Args);

void BM_DomRootXml(benchmark::State& state) {
    const auto document = Loaded(Text(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(document->DocumentElement().Xml());
    }
}
BENCHMARK(BM_DomRootXml)->Apply(Args);

} // namespace
