// tests/corpus/installer natively: tarn-eval on Linux has no installer to ask, so each
// document is evaluated against a scripted installer that knows none of their codes, as
// under Wine, where none is installed. The main corpus runs through tarn-eval itself.
#include "common/logrecords.h"
#include "support/fakemachine.h"
#include "tarn-eval/decode.h"
#include "tarn-eval/linked_evaluator.h"
#include "tarn-eval/report_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tarn::test {
namespace {

TEST(Corpus, InstallerDocumentsAskTheInstallerAndReleaseIt) {
    const std::filesystem::path corpus =
        std::filesystem::path(TARN_SOURCE_DIR) / "tests" / "corpus" / "installer";
    std::ifstream listing(corpus / "expected.tsv");
    std::size_t documents = 0;
    for (std::string line; std::getline(listing, line); ++documents) {
        const std::string file = line.substr(0, line.find('\t'));
        const eval::DecodedText decoded =
            eval::DecodeDocument(ReadFileBytes((corpus / file).string()));
        ASSERT_TRUE(decoded.ok) << file << ": " << decoded.error;
        FakeMachine machine;
        eval::LinkedEvaluator evaluator(machine);
        EXPECT_EQ(eval::FormatLine(file, evaluator.Evaluate(decoded.text)), line + "\n");
        EXPECT_EQ(machine.installer.Loaded(), 0) << file;
        EXPECT_GT(machine.installer.Loads(), 0) << file << " does not ask the installer";
    }
    std::size_t present = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        present += entry.path().extension() == ".xml" ? 1 : 0;
    }
    EXPECT_EQ(documents, present) << "every document is listed once";
}

} // namespace
} // namespace tarn::test
