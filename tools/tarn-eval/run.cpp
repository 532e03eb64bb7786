#include "run.h"

#include "decode.h"
#include "document_source.h"
#include "options.h"
#include "report_line.h"

#include <ostream>

namespace tarn::eval {

namespace {

void ReportInputError(std::ostream& err, const std::string& path, const std::string& why) {
    err << "tarn-eval: " << path << ": " << why << '\n';
}

// Evaluates one document and prints its line; false when it could not be read.
bool EvaluateOne(const std::string& path, Evaluator& evaluator, const Streams& streams,
                 ExitTally& tally) {
    const DocumentBytes bytes = ReadDocument(path, streams.in);
    if (!bytes.ok) {
        ReportInputError(streams.err, path, bytes.error);
        return false;
    }
    const DecodedText decoded = DecodeDocument(bytes.bytes);
    if (!decoded.ok) {
        ReportInputError(streams.err, path, decoded.error);
        return false;
    }
    const Evaluation evaluation = evaluator.Evaluate(decoded.text);
    tally.Add(evaluation);
    // Flushed line by line, so that what was answered survives a later crash.
    streams.out << FormatLine(path, evaluation) << std::flush;
    return true;
}

// One evaluator, which is what it is: a DLL cannot be chosen.
class FixedEvaluatorSource final : public EvaluatorSource {
public:
    explicit FixedEvaluatorSource(Evaluator& evaluator) noexcept : evaluator_(evaluator) {}

    Evaluator* Open(const Options& options, std::ostream& err) override {
        if (!options.dll.empty()) {
            err << "tarn-eval: --dll: this build evaluates with the provider linked into it\n";
            return nullptr;
        }
        return &evaluator_;
    }

private:
    Evaluator& evaluator_;
};

} // namespace

int RunTool(std::span<const std::string> args, EvaluatorSource& source, const Streams& streams) {
    const Options options = ParseArguments(args);
    if (!options.error.empty()) {
        streams.err << "tarn-eval: " << options.error << "\n"
                    << "Try 'tarn-eval --help'.\n";
        return kUsageOrInputError;
    }
    if (options.help) {
        streams.out << UsageText();
        return kEveryDocumentHolds;
    }
    Evaluator* const evaluator = source.Open(options, streams.err);
    if (evaluator == nullptr) {
        return kUsageOrInputError;
    }
    ExitTally tally;
    for (const std::string& path : options.documents) {
        if (!EvaluateOne(path, *evaluator, streams, tally)) {
            tally.InputFailed();
        }
    }
    return tally.Status();
}

int RunTool(std::span<const std::string> args, Evaluator& evaluator, const Streams& streams) {
    FixedEvaluatorSource source(evaluator);
    return RunTool(args, source, streams);
}

} // namespace tarn::eval
