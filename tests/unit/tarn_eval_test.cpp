// tarn-eval's portable half beyond what the corpus runs show (tests/corpus: documents in
// order, their lines, standard input): decoding, arguments, the exit status, unreadable
// documents, and an evaluator made once the arguments are known.
#include "support/fakemachine.h"
#include "tarn-eval/decode.h"
#include "tarn-eval/linked_evaluator.h"
#include "tarn-eval/options.h"
#include "tarn-eval/report_line.h"
#include "tarn-eval/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace tarn::eval {
namespace {

using namespace std::string_literals;

TEST(TarnEvalDecode, ByteOrderMarksChooseTheEncoding) {
    const struct {
        std::string bytes;
        std::u16string text;
        bool ok = true;
    } cases[] = {
        {"\xEF\xBB\xBF<a/>", u"<a/>"},
        {"\xEF\xBB\xBF", u""},
        {"<\xC3\xA9/>", u"<\u00E9/>"},
        {"\xFF\xFE\xE9\0\x34\xD8\x1E\xDD"s, u"\u00E9\U0001D11E"},
        {"\xFE\xFF\0\xE9\xD8\x34\xDD\x1E"s, u"\u00E9\U0001D11E"},
        {"\xFF\xFE<\0a"s, u"", false},
        {"\xFE\xFF\0<\0"s, u"", false},
        {"<\0"s, u"<\0"s}, // UTF-16 without a mark is taken as UTF-8
        {"\xFE", u"\uFFFD"},
    };
    for (const auto& c : cases) {
        const DecodedText decoded = DecodeDocument(c.bytes);
        EXPECT_EQ(decoded.ok, c.ok) << testing::PrintToString(c.bytes);
        EXPECT_EQ(decoded.error.empty(), c.ok);
        if (c.ok) {
            EXPECT_EQ(decoded.text, c.text) << testing::PrintToString(c.bytes);
        }
    }
}

TEST(TarnEvalArguments, Table) {
    const struct {
        std::vector<std::string> args;
        const char* errorPart; // empty when the arguments are valid
        std::vector<std::string> documents;
        const char* dll = "";
        bool help = false;
    } cases[] = {
        {{}, "no rule document", {}},
        {{"b.xml", "-", "a.xml"}, "", {"b.xml", "-", "a.xml"}},
        {{"-", "a.xml", "-"}, "only once", {}},
        {{"a.xml", "-h"}, "", {"a.xml"}, "", true},
        {{"--verbose", "a.xml"}, "unknown option '--verbose'", {}},
        {{"--", "--help", "-x", "-"}, "", {"--help", "-x", "-"}},
        {{"a.xml", "--dll", "-odd.dll", "b.xml"}, "", {"a.xml", "b.xml"}, "-odd.dll"},
        {{"a.xml", "--dll"}, "--dll needs the path", {}},
        {{"--dll", "", "a.xml"}, "--dll needs the path", {}},
        {{"--dll", "x.dll", "--dll", "y.dll", "a.xml"}, "more than once", {}},
        {{"--", "--dll", "x.dll"}, "", {"--dll", "x.dll"}},
        {{"--bits", "32", "a.xml"}, "need --image", {}},
        {{"--image", "i", "--bits", "16", "a.xml"}, "--bits must be 32 or 64", {}},
        {{"--format", "xml", "a.xml"}, "--format must be tsv or jsonl", {}},
        {{"a.xml", "--format"}, "--format needs", {}},
        {{"--image", "i", "--dll", "d.dll", "a.xml"}, "cannot be combined", {}},
        {{"--user", "ann", "--image", "i", "--user", "bob", "a.xml"}, "more than once", {}},
    };
    for (const auto& c : cases) {
        const Options options = ParseArguments(c.args);
        const std::string shown = testing::PrintToString(c.args);
        if (*c.errorPart != '\0') {
            EXPECT_NE(options.error.find(c.errorPart), std::string::npos) << shown;
            continue;
        }
        EXPECT_EQ(options.error, "") << shown;
        EXPECT_EQ(options.help, c.help) << shown;
        EXPECT_EQ(options.dll, c.dll) << shown;
        EXPECT_EQ(options.documents, c.documents) << shown;
    }
}

TEST(TarnEvalArguments, ImageOptions) {
    const Options options = ParseArguments(std::vector<std::string>{
        "--format", "jsonl", "--image", "/img", "--bits", "32", "--user", "ann", "a.xml"});
    EXPECT_EQ(options.error, "");
    EXPECT_EQ(options.format, OutputFormat::Jsonl);
    EXPECT_EQ(options.image, "/img");
    EXPECT_EQ(options.bits, 32);
    EXPECT_EQ(options.user, "ann");
    EXPECT_EQ(ParseArguments(std::vector<std::string>{"a.xml"}).format, OutputFormat::Tsv);
}

TEST(TarnEvalOutput, JsonLines) {
    const Evaluation failed{E_FAIL, VARIANT_FALSE};
    const std::vector<std::string> records = {"Trace source: \"a\\b\"\n    next\x01"};
    EXPECT_EQ(FormatJsonLine("d\"ir\\r.xml", failed, nullptr, {}),
              "{\"path\":\"d\\\"ir\\\\r.xml\",\"hresult\":\"0x80004005\",\"result\":\"FALSE\"}\n");
    EXPECT_EQ(FormatJsonLine("r.xml", Evaluation{S_OK, VARIANT_TRUE}, &records, {"n1", "n2"}),
              "{\"path\":\"r.xml\",\"hresult\":\"0x00000000\",\"result\":\"TRUE\","
              "\"records\":[\"Trace source: \\\"a\\\\b\\\"\\u000a    next\\u0001\"],"
              "\"notes\":[\"n1\",\"n2\"]}\n");
    const std::vector<std::string> none;
    EXPECT_NE(FormatJsonLine("r.xml", failed, &none, {}).find("\"records\":[]"), std::string::npos);
}

// A document holds only with S_OK and a true answer; once one does not, or an input failed,
// no later document changes the status.
TEST(TarnEvalOutput, LinesAndExitStatus) {
    const struct {
        HRESULT hr;
        VARIANT_BOOL result;
        const char* line;
    } cases[] = {
        {S_OK, VARIANT_TRUE, "r.xml\t0x00000000\tTRUE\n"},
        {E_UNEXPECTED, VARIANT_FALSE, "r.xml\t0x8000FFFF\tFALSE\n"},
        {S_OK, kUnsetResult, "r.xml\t0x00000000\tUNSET\n"},
        {S_OK, 1, "r.xml\t0x00000000\tTRUE\n"},
    };
    for (const auto& c : cases) {
        const Evaluation evaluation{c.hr, c.result};
        EXPECT_EQ(FormatLine("r.xml", evaluation), c.line);
        const bool holds = c.hr == S_OK && c.result != kUnsetResult && c.result != VARIANT_FALSE;
        ExitTally tally;
        tally.Add(Evaluation{S_OK, VARIANT_TRUE});
        tally.Add(evaluation);
        tally.Add(Evaluation{S_OK, VARIANT_TRUE});
        EXPECT_EQ(tally.Status(), holds ? kEveryDocumentHolds : kSomeDocumentDoesNotHold) << c.line;
        tally.InputFailed();
        tally.Add(Evaluation{S_FALSE, VARIANT_FALSE});
        EXPECT_EQ(tally.Status(), kUsageOrInputError) << c.line;
    }
}

// Holds for "<holds/>", records what it was asked, and as a source hands itself out (or
// refuses) and remembers the options it was opened with.
class ScriptedEvaluator final : public Evaluator, public EvaluatorSource {
public:
    std::vector<std::u16string> asked;
    bool refuse = false;
    int opened = 0;
    std::string dll;

    Evaluation Evaluate(std::u16string_view document) noexcept override {
        asked.emplace_back(document);
        return document == u"<holds/>" ? Evaluation{S_OK, VARIANT_TRUE}
                                       : Evaluation{S_FALSE, VARIANT_FALSE};
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

class TarnEvalRun : public ::testing::Test {
protected:
    // The tool over the evaluator itself, or with `asSource` over it as a source.
    int Run(std::vector<std::string> args, const std::string& input = "", bool asSource = false) {
        std::istringstream in(input);
        out_.str("");
        err_.str("");
        return asSource ? RunTool(args, static_cast<EvaluatorSource&>(evaluator_), {in, out_, err_})
                        : RunTool(args, static_cast<Evaluator&>(evaluator_), {in, out_, err_});
    }

    ScriptedEvaluator evaluator_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(TarnEvalRun, UnreadableDocumentsAreReportedAndSkipped) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tarn-eval-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string missing = (folder / "missing.xml").string();
    const std::string odd = (folder / "odd.xml").string();
    const std::string good = (folder / "good.xml").string();
    std::ofstream(odd, std::ios::binary) << "\xFF\xFE<"s;
    std::ofstream(good, std::ios::binary) << "<holds/>";
    EXPECT_EQ(Run({missing, folder.string(), odd, good}), kUsageOrInputError);
    std::filesystem::remove_all(folder);
    EXPECT_EQ(out_.str(), good + "\t0x00000000\tTRUE\n");
    const std::string err = err_.str();
    EXPECT_NE(err.find("tarn-eval: " + missing + ": "), std::string::npos) << err;
    EXPECT_NE(err.find(folder.string() + ": is a directory"), std::string::npos) << err;
    EXPECT_NE(err.find(odd + ": UTF-16 text with an odd number of bytes"), std::string::npos)
        << err;
    EXPECT_EQ(evaluator_.asked, std::vector<std::u16string>{u"<holds/>"});
}

TEST_F(TarnEvalRun, HelpAndUsageErrorsEvaluateNothing) {
    EXPECT_EQ(Run({"-", "--frobnicate"}, "<holds/>"), kUsageOrInputError);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("unknown option '--frobnicate'"), std::string::npos);
    EXPECT_NE(err_.str().find("--help"), std::string::npos);
    EXPECT_EQ(Run({"--help", "-"}, "<fails/>"), kEveryDocumentHolds);
    EXPECT_EQ(out_.str(), UsageText());
    // The linked provider refuses a DLL.
    EXPECT_EQ(Run({"--dll", "x.dll", "-"}, "<holds/>"), kUsageOrInputError);
    EXPECT_NE(err_.str().find("--dll"), std::string::npos) << err_.str();
    EXPECT_TRUE(evaluator_.asked.empty());
}

TEST_F(TarnEvalRun, SourceIsOpenedOnceWithTheOptionsAndOnlyWhenNeeded) {
    EXPECT_EQ(Run({"--dll", "x.dll", "-", "--"}, "<holds/>", true), kEveryDocumentHolds);
    EXPECT_EQ(evaluator_.opened, 1);
    EXPECT_EQ(evaluator_.dll, "x.dll");
    EXPECT_EQ(out_.str(), "-\t0x00000000\tTRUE\n");
    evaluator_.refuse = true;
    EXPECT_EQ(Run({"--help"}, "", true), kEveryDocumentHolds);
    EXPECT_EQ(Run({"--dll"}, "", true), kUsageOrInputError);
    EXPECT_EQ(evaluator_.opened, 1);
    EXPECT_EQ(Run({"-"}, "<holds/>", true), kUsageOrInputError);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(), "tarn-eval: no provider\n");
    EXPECT_EQ(evaluator_.asked.size(), 1u);
}

// --trace shows what each evaluation logged, after its line and only its own records.
TEST(TarnEvalTrace, EachLineIsFollowedByItsRecords) {
    test::FakeMachine machine;
    LinkedEvaluator evaluator(machine);
    std::istringstream in("<ruleset><rule engine='{9C8307FC-6D88-43CD-B7C0-8D0F0CBD35FD}'>"
                          "<detection><expression><os platform='Mars'/></expression></detection>"
                          "</rule></ruleset>");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunTool(std::vector<std::string>{"--trace", "-"}, evaluator, {in, out, err}),
              kSomeDocumentDoesNotHold);
    EXPECT_EQ(out.str(), "-\t0x00000001\tFALSE\n");
    EXPECT_EQ(err.str(), "<TRC> EvaluateExpressionNode_os: Return false for OS Mars\n");
}

} // namespace
} // namespace tarn::eval
