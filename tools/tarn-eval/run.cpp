#include "run.h"

#include "decode.h"
#include "document_source.h"
#include "options.h"
#include "report_line.h"
#include "trace.h"

#include <optional>
#include <ostream>
#include <vector>

namespace tarn::eval {

namespace {

void ReportInputError(std::ostream& err, const std::string& path, const std::string& why) {
    err << "tarn-eval: " << path << ": " << why << '\n';
}

// Evaluates one document and prints its line (and with a trace its log records); false when
// it could not be read.
// The document's line (or JSON object), and its trace on standard error for lines.
void Report(const std::string& path, const Evaluation& evaluation, OutputFormat format,
            Evaluator& evaluator, const Streams& streams, const TraceSession* trace) {
    const std::vector<std::string> notes = evaluator.TakeNotes();
    if (format == OutputFormat::Jsonl) {
        const std::vector<std::string> records =
            trace != nullptr ? trace->Lines(evaluation.hr) : std::vector<std::string>();
        streams.out << FormatJsonLine(path, evaluation, trace != nullptr ? &records : nullptr,
                                      notes)
                    << std::flush;
        return;
    }
    // Flushed line by line, so that what was answered survives a later crash.
    streams.out << FormatLine(path, evaluation) << std::flush;
    if (trace != nullptr) {
        trace->Print(streams.err, evaluation.hr);
        streams.err << std::flush;
    }
}

bool EvaluateOne(const std::string& path, Evaluator& evaluator, const Streams& streams,
                 OutputFormat format, ExitTally& tally, TraceSession* trace) {
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
    if (trace != nullptr) {
        trace->Mark();
    }
    const Evaluation evaluation = evaluator.Evaluate(decoded.text);
    tally.Add(evaluation);
    Report(path, evaluation, format, evaluator, streams, trace);
    return true;
}

// One evaluator, which is what it is: a DLL cannot be chosen.
class FixedEvaluatorSource final : public EvaluatorSource {
public:
    explicit FixedEvaluatorSource(Evaluator& evaluator) noexcept : evaluator_(evaluator) {}

    Evaluator* Open(const Options& options, std::ostream& err) override {
        if (!options.dll.empty() || !options.image.empty()) {
            err << "tarn-eval: --dll and --image: this evaluator is fixed\n";
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
    // Before the provider loads: its log reads the override once.
    std::optional<TraceSession> trace;
    if (options.trace) {
        trace.emplace();
    }
    Evaluator* const evaluator = source.Open(options, streams.err);
    if (evaluator == nullptr) {
        return kUsageOrInputError;
    }
    ExitTally tally;
    for (const std::string& path : options.documents) {
        if (!EvaluateOne(path, *evaluator, streams, options.format, tally,
                         trace ? &*trace : nullptr)) {
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
