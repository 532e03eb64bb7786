// Every document of tests/corpus evaluated through the provider (pugixml here), compared with
// the line that expected.tsv gives for it.
#include "machine/unavailable.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "tarn-eval/decode.h"
#include "tarn-eval/evaluator.h"
#include "tarn-eval/report_line.h"
#include "utility/platform/bstr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarn::eval {
namespace {

const std::filesystem::path kCorpus = std::filesystem::path(TARN_SOURCE_DIR) / "tests" / "corpus";

struct CorpusCase {
    std::string file;
    std::string hresult; // as tarn-eval prints it
    std::string word;
};

// Read when the tests are registered; a missing or malformed expected.tsv fails below.
std::vector<CorpusCase> ReadExpected() {
    std::vector<CorpusCase> cases;
    std::ifstream in(kCorpus / "expected.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        CorpusCase c;
        std::getline(fields, c.file, '\t');
        std::getline(fields, c.hresult, '\t');
        std::getline(fields, c.word, '\t');
        cases.push_back(c);
    }
    return cases;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

Evaluation EvaluateFile(const std::string& file) {
    const DecodedText decoded = DecodeDocument(ReadBytes(kCorpus / file));
    EXPECT_TRUE(decoded.ok) << decoded.error;
    UnavailableMachine machine;
    rules::RuleProvider provider(machine);
    const Bstr text = Bstr::Copy(decoded.text);
    Evaluation evaluation;
    evaluation.hr = provider.EvaluateRules(text.Get(), &evaluation.result);
    return evaluation;
}

class CorpusTest : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusTest, MatchesExpectedLine) {
    const CorpusCase& c = GetParam();
    const Evaluation evaluation = EvaluateFile(c.file);
    const std::string want = c.file + "\t" + c.hresult + "\t" + c.word + "\n";
    EXPECT_EQ(FormatLine(c.file, evaluation), want);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTest, ::testing::ValuesIn(ReadExpected()),
                         [](const ::testing::TestParamInfo<CorpusCase>& info) {
                             std::string name =
                                 info.param.file.substr(0, info.param.file.rfind('.'));
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// Each document is listed once, and each listed document exists: a case cannot drop out of
// both harnesses unnoticed.
TEST(CorpusListing, ExpectedLinesAndFilesAgree) {
    std::vector<std::string> listed;
    for (const CorpusCase& c : ReadExpected()) {
        EXPECT_TRUE(c.hresult.size() == 10 && c.hresult.starts_with("0x")) << c.file;
        EXPECT_TRUE(c.word == "TRUE" || c.word == "FALSE" || c.word == "UNSET") << c.file;
        listed.push_back(c.file);
    }
    std::vector<std::string> present;
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
        if (entry.path().extension() == ".xml") {
            present.push_back(entry.path().filename().string());
        }
    }
    std::sort(listed.begin(), listed.end());
    std::sort(present.begin(), present.end());
    EXPECT_FALSE(listed.empty());
    EXPECT_EQ(listed, present);
}

} // namespace
} // namespace tarn::eval
