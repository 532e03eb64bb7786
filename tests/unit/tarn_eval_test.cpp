// tarn-eval's portable half: decoding, arguments, output lines, exit status, and the whole run
// over real files and a scripted evaluator, linked in or made once the arguments are known.
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
    const char* errorPart; // empty when the arguments are valid
    std::vector<std::string> documents;
    const char* dll = "";
    bool help = false;
};

TEST(TarnEvalArguments, Table) {
    const ArgumentsCase cases[] = {
        {"nothing", {}, "no rule document", {}},
        {"files in order", {"b.xml", "a.xml"}, "", {"b.xml", "a.xml"}},
        {"standard input", {"-"}, "", {"-"}},
        {"standard input once", {"-", "a.xml", "-"}, "only once", {}},
        {"--help", {"--help"}, "", {}, "", true},
        {"-h", {"-h"}, "", {}, "", true},
        {"help with files", {"a.xml", "--help"}, "", {"a.xml"}, "", true},
        {"unknown long option", {"--verbose", "a.xml"}, "unknown option '--verbose'", {}},
        {"unknown short option", {"-x"}, "unknown option '-x'", {}},
        {"-- ends options", {"--", "--help", "-x"}, "", {"--help", "-x"}},
        {"-- then standard input", {"--", "-"}, "", {"-"}},
        {"only --", {"--"}, "no rule document", {}},
        {"--dll before files", {"--dll", "C:\\p\\x.dll", "a.xml"}, "", {"a.xml"}, "C:\\p\\x.dll"},
        {"--dll amid files", {"a.xml", "--dll", "x.dll", "b.xml"}, "", {"a.xml", "b.xml"}, "x.dll"},
        {"--dll path like an option", {"--dll", "-odd.dll", "a.xml"}, "", {"a.xml"}, "-odd.dll"},
        {"--dll without a path", {"a.xml", "--dll"}, "--dll needs the path", {}},
        {"--dll with an empty path", {"--dll", "", "a.xml"}, "--dll needs the path", {}},
        {"--dll twice", {"--dll", "x.dll", "--dll", "y.dll", "a.xml"}, "more than once", {}},
        {"--dll after --", {"--", "--dll", "x.dll"}, "", {"--dll", "x.dll"}},
    };
    for (const ArgumentsCase& c : cases) {
        const Options options = ParseArguments(c.args);
        if (*c.errorPart != '\0') {
            EXPECT_NE(options.error.find(c.errorPart), std::string::npos)
                << c.name << ": " << options.error;
            continue;
        }
        EXPECT_EQ(options.error, "") << c.name;
        EXPECT_EQ(options.help, c.help) << c.name;
        EXPECT_EQ(options.dll, c.dll) << c.name;
        EXPECT_EQ(options.documents, c.documents) << c.name;
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

// Answers by document text and records what it was asked. As a source it hands itself
// out, or refuses, and remembers the options it was opened with.
class ScriptedEvaluator final : public Evaluator, public EvaluatorSource {
public:
    std::map<std::u16string, Evaluation> answers{{u"<holds/>", {S_OK, VARIANT_TRUE}},
                                                 {u"<fails/>", {S_FALSE, VARIANT_FALSE}},
                                                 {u"<untouched/>", {S_OK, kUnsetResult}}};
    std::vector<std::u16string> asked;
    bool refuse = false;
    int opened = 0;
    std::string dll;

    Evaluation Evaluate(std::u16string_view document) noexcept override {
        asked.emplace_back(document);
        const auto found = answers.find(std::u16string(document));
        return found != answers.end() ? found->second : Evaluation{E_FAIL, VARIANT_FALSE};
    }
    Evaluator* Open(const Options& options, std::ostream& err) override {
        ++opened;
        dll = options.dll;
        if (refuse) {
            err << "tarn-eval: no provider\n";
            return nullptr;
        }
        return this;
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
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    // The tool over the evaluator itself, or with `asSource` over it as a source.
    int Run(std::vector<std::string> args, const std::string& input = "", bool asSource = false) {
        std::istringstream in(input);
        out_.str("");
        err_.str("");
        return asSource ? RunTool(args, static_cast<EvaluatorSource&>(evaluator_), {in, out_, err_})
                        : RunTool(args, static_cast<Evaluator&>(evaluator_), {in, out_, err_});
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
    // An unset result does not hold, nor does an empty document, which is evaluated too.
    const std::string u = Write("u.xml", "<untouched/>");
    EXPECT_EQ(Run({u}), kSomeDocumentDoesNotHold);
    EXPECT_EQ(out_.str(), u + "\t0x00000000\tUNSET\n");
    EXPECT_EQ(Run({Write("empty.xml", "")}), kSomeDocumentDoesNotHold);
    EXPECT_EQ(evaluator_.asked,
              (std::vector<std::u16string>{u"<holds/>", u"<fails/>", u"<untouched/>", u""}));
}

TEST_F(TarnEvalRun, EveryDocumentHoldsStandardInputIncluded) {
    const std::string a = Write("a.xml", "<holds/>");
    const std::string b = Write("b.xml", "\xFE\xFF\0<\0h\0o\0l\0d\0s\0/\0>"s);
    EXPECT_EQ(Run({a, "-", b}, "\xFF\xFE<\0h\0o\0l\0d\0s\0/\0>\0"s), kEveryDocumentHolds);
    EXPECT_EQ(out_.str(),
              a + "\t0x00000000\tTRUE\n-\t0x00000000\tTRUE\n" + b + "\t0x00000000\tTRUE\n");
    EXPECT_EQ(evaluator_.asked, std::vector<std::u16string>(3, u"<holds/>"));
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

TEST_F(TarnEvalRun, SourceIsOpenedOnceWithTheOptions) {
    EXPECT_EQ(Run({"--dll", "x.dll", "-", "--"}, "<holds/>", true), kEveryDocumentHolds);
    EXPECT_EQ(evaluator_.opened, 1);
    EXPECT_EQ(evaluator_.dll, "x.dll");
    EXPECT_EQ(evaluator_.asked.size(), 1u);
    EXPECT_EQ(out_.str(), "-\t0x00000000\tTRUE\n");
}

TEST_F(TarnEvalRun, NoProviderEvaluatesNothingAndHelpOrUsageErrorsNeedNone) {
    evaluator_.refuse = true;
    EXPECT_EQ(Run({"--help"}, "", true), kEveryDocumentHolds);
    EXPECT_EQ(Run({"--dll"}, "", true), kUsageOrInputError);
    EXPECT_EQ(evaluator_.opened, 0);
    EXPECT_EQ(Run({"-"}, "<holds/>", true), kUsageOrInputError);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(), "tarn-eval: no provider\n");
    EXPECT_TRUE(evaluator_.asked.empty());
}

TEST_F(TarnEvalRun, LinkedProviderRefusesADll) {
    EXPECT_EQ(Run({"--dll", "x.dll", "-"}, "<holds/>"), kUsageOrInputError);
    EXPECT_NE(err_.str().find("--dll"), std::string::npos) << err_.str();
    EXPECT_TRUE(evaluator_.asked.empty());
    EXPECT_EQ(Run({"-"}, "<holds/>"), kEveryDocumentHolds);
}

} // namespace
} // namespace tarn::eval
