// tarn-eval from its arguments to its exit status, over any Evaluator and any streams.
#pragma once

#include "evaluator.h"

#include <iosfwd>
#include <span>
#include <string>

namespace tarn::eval {

struct Streams {
    std::istream& in;  // standard input, read for the document "-"
    std::ostream& out; // one line per document
    std::ostream& err; // usage errors and unreadable files
};

// Reads, decodes and evaluates each document in order. An unreadable document is reported
// and skipped; the others are still evaluated. Returns the ExitStatus; a source that has no
// evaluator for the options gives kUsageOrInputError before any document is read.
int RunTool(std::span<const std::string> args, EvaluatorSource& source, const Streams& streams);
// The same with one evaluator for every option set (--dll is then a usage error).
int RunTool(std::span<const std::string> args, Evaluator& evaluator, const Streams& streams);

} // namespace tarn::eval
