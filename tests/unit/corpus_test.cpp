// Every document of tests/corpus evaluated through the provider (pugixml here) with the machine
// tarn-eval has on Linux, and every document of tests/corpus/installer against a scripted
// installer that knows none of their codes, as under Wine, where none of them is installed:
// each gives the line its expected.tsv lists, and every document is listed exactly once.
#include "common/logrecords.h"
#include "machine/unavailable.h"
#include "support/fakemachine.h"
#include "tarn-eval/decode.h"
#include "tarn-eval/linked_evaluator.h"
#include "tarn-eval/report_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(TARN_SOURCE_DIR) / "tests" / "corpus";

// The lines of the corpus's expected.tsv, each with its line feed; a listing that does not
// name every document of the folder exactly once fails the test.
std::vector<std::string> ExpectedLines(const fs::path& corpus) {
    std::ifstream in(corpus / "expected.tsv");
    std::vector<std::string> lines;
    std::vector<std::string> listed;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line + "\n");
        listed.push_back(line.substr(0, line.find('\t')));
    }
    std::vector<std::string> present;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() == ".xml") {
            present.push_back(entry.path().filename().string());
        }
    }
    std::sort(listed.begin(), listed.end());
    std::sort(present.begin(), present.end());
    EXPECT_FALSE(listed.empty());
    EXPECT_EQ(listed, present);
    return lines;
}

// The line tarn-eval prints for the document that `expected` names.
std::string LineFor(Machine& machine, const fs::path& corpus, const std::string& expected) {
    const std::string file = expected.substr(0, expected.find('\t'));
    const eval::DecodedText decoded = eval::DecodeDocument(ReadFileBytes((corpus / file).string()));
    EXPECT_TRUE(decoded.ok) << file << ": " << decoded.error;
    eval::LinkedEvaluator evaluator(machine);
    return eval::FormatLine(file, evaluator.Evaluate(decoded.text));
}

TEST(Corpus, EveryDocumentGivesItsExpectedLine) {
    for (const std::string& line : ExpectedLines(kCorpus)) {
        UnavailableMachine machine;
        EXPECT_EQ(LineFor(machine, kCorpus, line), line);
    }
}

TEST(Corpus, InstallerDocumentsAskTheInstallerAndReleaseIt) {
    const fs::path corpus = kCorpus / "installer";
    for (const std::string& line : ExpectedLines(corpus)) {
        FakeMachine machine;
        EXPECT_EQ(LineFor(machine, corpus, line), line);
        EXPECT_EQ(machine.installer.Loaded(), 0) << line;
        EXPECT_GT(machine.installer.Loads(), 0) << line << " does not ask the installer";
    }
}

} // namespace
} // namespace tarn::test
