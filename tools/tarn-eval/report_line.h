// What tarn-eval prints for each document, and the exit status the answers add up to.
#pragma once

#include "evaluator.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarn::eval {

enum ExitStatus : int {
    kEveryDocumentHolds = 0,
    kSomeDocumentDoesNotHold = 1,
    kUsageOrInputError = 2,
};

// Whether a result says the rule holds (printed as TRUE).
bool Holds(VARIANT_BOOL result) noexcept;

// "TRUE", "FALSE", or "UNSET" for the preset value the provider never writes.
const char* ResultWord(VARIANT_BOOL result) noexcept;

// "<path>\t0x<HRESULT, 8 upper-case hex digits>\t<word>\n"
std::string FormatLine(std::string_view path, const Evaluation& evaluation);

// One JSON object and a line end: {"path","hresult","result"}, "records" when `records` is given,
// "notes" when there are any.
std::string FormatJsonLine(std::string_view path, const Evaluation& evaluation,
                           const std::vector<std::string>* records,
                           const std::vector<std::string>& notes);

// A document holds when its result is TRUE; an input or usage error outweighs everything.
class ExitTally {
public:
    void Add(const Evaluation& evaluation) noexcept;
    void InputFailed() noexcept { status_ = kUsageOrInputError; }
    ExitStatus Status() const noexcept { return status_; }

private:
    ExitStatus status_ = kEveryDocumentHolds;
};

} // namespace tarn::eval
