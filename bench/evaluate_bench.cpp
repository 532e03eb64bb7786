// The whole evaluate operation against parsing the same text with pugixml alone, for every
// corpus document: the ratio is the cost of the evaluation on top of the parse.
#include "rules/kpxtarnruleproviderinterface.h"
#include "utility/platform/bstr.h"
#include "utility/text/strings.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class NoMachine final : public tarn::Machine {};

std::u16string ReadUtf8(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string bytes = text.str();
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        bytes.erase(0, 3);
    }
    return tarn::Utf8ToUtf16(bytes);
}

void Evaluate(benchmark::State& state, const std::u16string& text) {
    NoMachine machine;
    tarn::rules::RuleProvider provider(machine);
    const tarn::Bstr rule = tarn::Bstr::Copy(text);
    for (auto _ : state) {
        VARIANT_BOOL result = VARIANT_FALSE;
        benchmark::DoNotOptimize(provider.EvaluateRules(rule.Get(), &result));
        benchmark::DoNotOptimize(result);
    }
}

void ParseOnly(benchmark::State& state, const std::u16string& text) {
    for (auto _ : state) {
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer(
            text.data(), text.size() * sizeof(char16_t),
            pugi::parse_default | pugi::parse_comments | pugi::parse_pi, pugi::encoding_utf16_le));
    }
}

const bool kRegistered = [] {
    const std::filesystem::path corpus = std::filesystem::path(TARN_SOURCE_DIR) / "tests/corpus";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() == ".xml") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        const std::u16string text = ReadUtf8(file);
        const std::string name = file.filename().string();
        benchmark::RegisterBenchmark(("evaluate/" + name).c_str(), Evaluate, text);
        benchmark::RegisterBenchmark(("parse/" + name).c_str(), ParseOnly, text);
    }
    return true;
}();

} // namespace
