// The installer documents of tests/corpus/installer, evaluated against a scripted installer
// that knows no product: the same lines that tarn-eval.exe must print under Wine, where none
// of their codes is installed either.
#include "rules/kpxtarnruleproviderinterface.h"
#include "support/fakemachine.h"
#include "tarn-eval/decode.h"
#include "tarn-eval/evaluator.h"
#include "tarn-eval/report_line.h"
#include "utility/platform/bstr.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

const std::filesystem::path kInstallerCorpus =
    std::filesystem::path(TARN_SOURCE_DIR) / "tests" / "corpus" / "installer";

std::vector<std::string> ExpectedLines() {
    std::ifstream in(kInstallerCorpus / "expected.tsv");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line + "\n");
        }
    }
    return lines;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

TEST(InstallerCorpus, EveryDocumentGivesItsExpectedLine) {
    const std::vector<std::string> expected = ExpectedLines();
    ASSERT_FALSE(expected.empty());
    std::size_t documents = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kInstallerCorpus)) {
        documents += entry.path().extension() == ".xml" ? 1 : 0;
    }
    EXPECT_EQ(documents, expected.size()) << "every document has one expected line";
    for (const std::string& line : expected) {
        const std::string file = line.substr(0, line.find('\t'));
        const eval::DecodedText decoded = eval::DecodeDocument(ReadBytes(kInstallerCorpus / file));
        ASSERT_TRUE(decoded.ok) << file << ": " << decoded.error;
        FakeMachine machine;
        rules::RuleProvider provider(machine);
        const Bstr text = Bstr::Copy(decoded.text);
        eval::Evaluation evaluation;
        evaluation.hr = provider.EvaluateRules(text.Get(), &evaluation.result);
        EXPECT_EQ(eval::FormatLine(file, evaluation), line);
        EXPECT_EQ(machine.installer.Loaded(), 0) << file;
        EXPECT_GT(machine.installer.Loads(), 0) << file << " does not ask the installer";
    }
}

} // namespace
} // namespace tarn::test
