// tarn-eval choosing its provider: the --dll option, and a run whose evaluator is made only
// once the arguments are known (and may not be made at all).
#include "tarn-eval/options.h"
#include "tarn-eval/report_line.h"
#include "tarn-eval/run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tarn::eval {
namespace {

struct DllCase {
    const char* name;
    std::vector<std::string> args;
    const char* dll;
    std::vector<std::string> documents;
    const char* errorPart; // empty when the arguments are valid
};

const DllCase kDllCases[] = {
    {"no --dll", {"a.xml"}, "", {"a.xml"}, ""},
    {"--dll before files", {"--dll", "C:\\p\\x.dll", "a.xml"}, "C:\\p\\x.dll", {"a.xml"}, ""},
    {"--dll after files", {"a.xml", "--dll", "x.dll", "b.xml"}, "x.dll", {"a.xml", "b.xml"}, ""},
    {"--dll path that looks like an option",
     {"--dll", "-odd.dll", "a.xml"},
     "-odd.dll",
     {"a.xml"},
     ""},
    {"--dll without a path", {"a.xml", "--dll"}, "", {}, "--dll needs the path"},
    {"--dll with an empty path", {"--dll", "", "a.xml"}, "", {}, "--dll needs the path"},
    {"--dll twice", {"--dll", "x.dll", "--dll", "y.dll", "a.xml"}, "", {}, "more than once"},
    {"--dll after --", {"--", "--dll", "x.dll"}, "", {"--dll", "x.dll"}, ""},
};

TEST(TarnEvalDllOption, Table) {
    for (const DllCase& c : kDllCases) {
        const Options options = ParseArguments(c.args);
        if (*c.errorPart != '\0') {
            EXPECT_NE(options.error.find(c.errorPart), std::string::npos)
                << c.name << ": " << options.error;
            continue;
        }
        EXPECT_EQ(options.error, "") << c.name;
        EXPECT_EQ(options.dll, c.dll) << c.name;
        EXPECT_EQ(options.documents, c.documents) << c.name;
    }
}

class Holds final : public Evaluator {
public:
    int calls = 0;
    Evaluation Evaluate(std::u16string_view) noexcept override {
        ++calls;
        return Evaluation{S_OK, VARIANT_TRUE};
    }
};

// Hands out its evaluator, or refuses, and remembers the options it was opened with.
class RecordingSource final : public EvaluatorSource {
public:
    bool refuse = false;
    int opened = 0;
    std::string dll;
    Holds evaluator;

    Evaluator* Open(const Options& options, std::ostream& err) override {
        ++opened;
        dll = options.dll;
        if (refuse) {
            err << "tarn-eval: no provider\n";
            return nullptr;
        }
        return &evaluator;
    }
};

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

template <class Target>
ToolRun RunWith(Target& target, std::vector<std::string> args) {
    std::istringstream in("<ruleset><and/></ruleset>");
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunTool(args, target, {in, out, err});
    return {status, out.str(), err.str()};
}

TEST(TarnEvalSource, OpenedOnceWithTheOptions) {
    RecordingSource source;
    const ToolRun run = RunWith(source, {"--dll", "x.dll", "-", "--"});
    EXPECT_EQ(run.status, kEveryDocumentHolds);
    EXPECT_EQ(source.opened, 1);
    EXPECT_EQ(source.dll, "x.dll");
    EXPECT_EQ(source.evaluator.calls, 1);
    EXPECT_EQ(run.out, "-\t0x00000000\tTRUE\n");
}

TEST(TarnEvalSource, NoProviderEvaluatesNothing) {
    RecordingSource source;
    source.refuse = true;
    const ToolRun run = RunWith(source, {"-"});
    EXPECT_EQ(run.status, kUsageOrInputError);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tarn-eval: no provider\n");
    EXPECT_EQ(source.evaluator.calls, 0);
}

TEST(TarnEvalSource, HelpAndUsageErrorsNeedNoProvider) {
    RecordingSource source;
    source.refuse = true;
    EXPECT_EQ(RunWith(source, {"--help"}).status, kEveryDocumentHolds);
    EXPECT_EQ(RunWith(source, {"--dll"}).status, kUsageOrInputError);
    EXPECT_EQ(source.opened, 0);
}

TEST(TarnEvalSource, LinkedProviderRefusesADll) {
    Holds evaluator;
    const ToolRun run = RunWith(evaluator, {"--dll", "x.dll", "-"});
    EXPECT_EQ(run.status, kUsageOrInputError);
    EXPECT_NE(run.err.find("--dll"), std::string::npos) << run.err;
    EXPECT_EQ(evaluator.calls, 0);
    EXPECT_EQ(RunWith(evaluator, {"-"}).status, kEveryDocumentHolds);
}

} // namespace
} // namespace tarn::eval
