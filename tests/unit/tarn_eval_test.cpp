// tarn-eval's portable half: decoding, arguments, output lines, exit status, and the whole run
// over real files and a scripted evaluator.
#include "tarn-eval/decode.h"
#include "tarn-eval/options.h"
#include "tarn-eval/report_line.h"
#include "tarn-eval/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace tarn::eval {
namespace {

using namespace std::string_literals;

struct DecodeCase {
    const char* name;
    std::string bytes;
    bool ok;
    std::u16string text;
};

TEST(TarnEvalDecode, Table) {
    const DecodeCase cases[] = {
        {"plain UTF-8", "<a/>", true, u"<a/>"},
        {"empty", "", true, u""},
        {"UTF-8 mark dropped", "\xEF\xBB\xBF<a/>", true, u"<a/>"},
        {"UTF-8 mark only", "\xEF\xBB\xBF", true, u""},
        {"UTF-8 two-byte character", "<\xC3\xA9/>", true, u"<\u00E9/>"},
        {"UTF-8 four-byte character", "\xF0\x9D\x84\x9E", true, u"\U0001D11E"},
        {"UTF-16 LE", "\xFF\xFE<\0a\0/\0>\0"s, true, u"<a/>"},
        {"UTF-16 BE", "\xFE\xFF\0<\0a\0/\0>"s, true, u"<a/>"},
        {"UTF-16 LE non-ASCII", "\xFF\xFE\xE9\0\x34\xD8\x1E\xDD"s, true, u"\u00E9\U0001D11E"},
        {"UTF-16 BE non-ASCII", "\xFE\xFF\0\xE9\xD8\x34\xDD\x1E"s, true, u"\u00E9\U0001D11E"},
        {"UTF-16 mark only", "\xFF\xFE", true, u""},
        {"UTF-16 LE odd length", "\xFF\xFE<\0a"s, false, u""},
        {"UTF-16 BE odd length", "\xFE\xFF\0<\0"s, false, u""},
        {"UTF-16 without mark is taken as UTF-8", "<\0"s, true, u"<\0"s},
        {"lone 0xFE is no mark", "\xFE", true, u"\uFFFD"},
    };
    for (const DecodeCase& c : cases) {
        const DecodedText decoded = DecodeDocument(c.bytes);
        EXPECT_EQ(decoded.ok, c.ok) << c.name;
        EXPECT_EQ(decoded.error.empty(), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(decoded.text, c.text) << c.name;
        }
    }
}

struct ArgumentsCase {
    const char* name;
    std::vector<std::string> args;
    bool help;
    std::vector<std::string> documents;
    const char* errorPart; // empty when the arguments are valid
};

TEST(TarnEvalArguments, Table) {
    const ArgumentsCase cases[] = {
        {"nothing", {}, false, {}, "no rule document"},
        {"files in order", {"b.xml", "a.xml"}, false, {"b.xml", "a.xml"}, ""},
        {"standard input", {"-"}, false, {"-"}, ""},
        {"standard input once", {"-", "a.xml", "-"}, false, {}, "only once"},
        {"--help", {"--help"}, true, {}, ""},
        {"-h", {"-h"}, true, {}, ""},
        {"help with files", {"a.xml", "--help"}, true, {"a.xml"}, ""},
        {"unknown long option", {"--verbose", "a.xml"}, false, {}, "unknown option '--verbose'"},
        {"unknown short option", {"-x"}, false, {}, "unknown option '-x'"},
        {"-- ends options", {"--", "--help", "-x"}, false, {"--help", "-x"}, ""},
        {"-- then standard input", {"--", "-"}, false, {"-"}, ""},
        {"only --", {"--"}, false, {}, "no rule document"},
    };
    for (const ArgumentsCase& c : cases) {
        const Options options = ParseArguments(c.args);
        EXPECT_EQ(options.error.find(c.errorPart) != std::string::npos && !options.error.empty(),
                  *c.errorPart != '\0')
            << c.name << ": " << options.error;
        if (*c.errorPart == '\0') {
            EXPECT_EQ(options.help, c.help) << c.name;
            EXPECT_EQ(options.documents, c.documents) << c.name;
        }
    }
}

struct LineCase {
    HRESULT hr;
    VARIANT_BOOL result;
    const char* line;
    bool holds;
};

TEST(TarnEvalOutput, LinesAndExitStatus) {
    const LineCase cases[] = {
        {S_OK, VARIANT_TRUE, "r.xml\t0x00000000\tTRUE\n", true},
        {S_FALSE, VARIANT_FALSE, "r.xml\t0x00000001\tFALSE\n", false},
        {E_FAIL, VARIANT_FALSE, "r.xml\t0x80004005\tFALSE\n", false},
        {E_UNEXPECTED, VARIANT_FALSE, "r.xml\t0x8000FFFF\tFALSE\n", false},
        {S_OK, kUnsetResult, "r.xml\t0x00000000\tUNSET\n", false},
        {E_OUTOFMEMORY, kUnsetResult, "r.xml\t0x8007000E\tUNSET\n", false},
        {S_OK, 1, "r.xml\t0x00000000\tTRUE\n", true},
    };
    for (const LineCase& c : cases) {
        const Evaluation evaluation{c.hr, c.result};
        EXPECT_EQ(FormatLine("r.xml", evaluation), c.line);
        ExitTally tally;
        tally.Add(Evaluation{S_OK, VARIANT_TRUE});
        tally.Add(evaluation);
        EXPECT_EQ(tally.Status(), c.holds ? kEveryDocumentHolds : kSomeDocumentDoesNotHold)
            << c.line;
        tally.Add(Evaluation{S_OK, VARIANT_TRUE});
        EXPECT_EQ(tally.Status(), c.holds ? kEveryDocumentHolds : kSomeDocumentDoesNotHold)
            << "a later holding document does not clear it: " << c.line;
        tally.InputFailed();
        tally.Add(Evaluation{S_FALSE, VARIANT_FALSE});
        EXPECT_EQ(tally.Status(), kUsageOrInputError) << c.line;
    }
}

// Answers by document text and records what it was asked.
class ScriptedEvaluator final : public Evaluator {
public:
    std::map<std::u16string, Evaluation> answers;
    std::vector<std::u16string> asked;

    Evaluation Evaluate(std::u16string_view document) noexcept override {
        asked.emplace_back(document);
        const auto found = answers.find(std::u16string(document));
        return found != answers.end() ? found->second : Evaluation{E_FAIL, VARIANT_FALSE};
    }
};

// A folder of its own with the files a case needs, removed afterwards.
class TarnEvalRun : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("tarn-eval-test-"s + info->name() + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        evaluator_.answers[u"<holds/>"] = {S_OK, VARIANT_TRUE};
        evaluator_.answers[u"<fails/>"] = {S_FALSE, VARIANT_FALSE};
        evaluator_.answers[u"<untouched/>"] = {S_OK, kUnsetResult};
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    int Run(std::vector<std::string> args, const std::string& input = "") {
        std::istringstream in(input);
        return RunTool(args, evaluator_, {in, out_, err_});
    }

    std::filesystem::path folder_;
    ScriptedEvaluator evaluator_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(TarnEvalRun, OneLinePerDocumentInArgumentOrder) {
    const std::string a = Write("a.xml", "<fails/>");
    const std::string b = Write("b.xml", "\xEF\xBB\xBF<holds/>");
    EXPECT_EQ(Run({b, a}), kSomeDocumentDoesNotHold);
    EXPECT_EQ(out_.str(), b + "\t0x00000000\tTRUE\n" + a + "\t0x00000001\tFALSE\n");
    EXPECT_EQ(err_.str(), "");
}

TEST_F(TarnEvalRun, EveryDocumentHolds) {
    const std::string a = Write("a.xml", "<holds/>");
    const std::string b = Write("b.xml", "\xFE\xFF\0<\0h\0o\0l\0d\0s\0/\0>"s);
    EXPECT_EQ(Run({a, b}), kEveryDocumentHolds);
    EXPECT_EQ(evaluator_.asked, (std::vector<std::u16string>{u"<holds/>", u"<holds/>"}));
}

TEST_F(TarnEvalRun, UnsetResultDoesNotHold) {
    EXPECT_EQ(Run({Write("u.xml", "<untouched/>")}), kSomeDocumentDoesNotHold);
    EXPECT_NE(out_.str().find("\tUNSET\n"), std::string::npos);
}

TEST_F(TarnEvalRun, StandardInputIsReadAsBytes) {
    EXPECT_EQ(Run({"-"}, "\xFF\xFE<\0h\0o\0l\0d\0s\0/\0>\0"s), kEveryDocumentHolds);
    EXPECT_EQ(out_.str(), "-\t0x00000000\tTRUE\n");
}

TEST_F(TarnEvalRun, EmptyDocumentIsEvaluated) {
    EXPECT_EQ(Run({Write("empty.xml", "")}), kSomeDocumentDoesNotHold);
    EXPECT_EQ(evaluator_.asked, std::vector<std::u16string>{u""});
}

TEST_F(TarnEvalRun, UnreadableDocumentsAreReportedAndSkipped) {
    const std::string missing = (folder_ / "missing.xml").string();
    const std::string odd = Write("odd.xml", "\xFF\xFE<"s);
    const std::string good = Write("good.xml", "<holds/>");
    EXPECT_EQ(Run({missing, folder_.string(), odd, good}), kUsageOrInputError);
    EXPECT_EQ(out_.str(), good + "\t0x00000000\tTRUE\n");
    const std::string err = err_.str();
    EXPECT_NE(err.find("tarn-eval: " + missing + ": "), std::string::npos) << err;
    EXPECT_NE(err.find(folder_.string() + ": is a directory"), std::string::npos) << err;
    EXPECT_NE(err.find(odd + ": UTF-16 text with an odd number of bytes"), std::string::npos)
        << err;
    EXPECT_EQ(evaluator_.asked, std::vector<std::u16string>{u"<holds/>"});
}

TEST_F(TarnEvalRun, UsageErrorEvaluatesNothing) {
    EXPECT_EQ(Run({Write("a.xml", "<holds/>"), "--frobnicate"}), kUsageOrInputError);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("unknown option '--frobnicate'"), std::string::npos);
    EXPECT_NE(err_.str().find("--help"), std::string::npos);
    EXPECT_TRUE(evaluator_.asked.empty());
}

TEST_F(TarnEvalRun, HelpPrintsUsageOnly) {
    EXPECT_EQ(Run({"--help", Write("a.xml", "<fails/>")}), kEveryDocumentHolds);
    EXPECT_EQ(out_.str(), UsageText());
    EXPECT_TRUE(evaluator_.asked.empty());
}

} // namespace
} // namespace tarn::eval
