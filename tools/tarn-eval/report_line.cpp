#include "report_line.h"

#include <cstdio>

namespace tarn::eval {

bool Holds(VARIANT_BOOL result) noexcept {
    // Any other non-zero value is true, as COM reads a VARIANT_BOOL.
    return result != VARIANT_FALSE && result != kUnsetResult;
}

const char* ResultWord(VARIANT_BOOL result) noexcept {
    if (result == kUnsetResult) {
        return "UNSET";
    }
    return Holds(result) ? "TRUE" : "FALSE";
}

std::string FormatLine(std::string_view path, const Evaluation& evaluation) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(evaluation.hr));
    std::string line(path);
    line.append("\t").append(code).append("\t").append(ResultWord(evaluation.result));
    line.push_back('\n');
    return line;
}

void ExitTally::Add(const Evaluation& evaluation) noexcept {
    if (status_ == kEveryDocumentHolds && !Holds(evaluation.result)) {
        status_ = kSomeDocumentDoesNotHold;
    }
}

} // namespace tarn::eval
