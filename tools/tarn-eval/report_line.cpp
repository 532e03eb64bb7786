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

namespace {

// A JSON string of UTF-8 text.
void AppendJsonString(std::string_view text, std::string& out) {
    out.push_back('"');
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out.append(escaped);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

void AppendJsonArray(const char* name, const std::vector<std::string>& items, std::string& out) {
    out.append(",\"").append(name).append("\":[");
    for (std::size_t i = 0; i < items.size(); ++i) {
        out.append(i == 0 ? "" : ",");
        AppendJsonString(items[i], out);
    }
    out.push_back(']');
}

} // namespace

std::string FormatJsonLine(std::string_view path, const Evaluation& evaluation,
                           const std::vector<std::string>* records,
                           const std::vector<std::string>& notes) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(evaluation.hr));
    std::string line("{\"path\":");
    AppendJsonString(path, line);
    line.append(",\"hresult\":\"").append(code).append("\",\"result\":\"");
    line.append(ResultWord(evaluation.result)).append("\"");
    if (records != nullptr) {
        AppendJsonArray("records", *records, line);
    }
    if (!notes.empty()) {
        AppendJsonArray("notes", notes, line);
    }
    line.append("}\n");
    return line;
}

void ExitTally::Add(const Evaluation& evaluation) noexcept {
    if (status_ == kEveryDocumentHolds && !Holds(evaluation.result)) {
        status_ = kSomeDocumentDoesNotHold;
    }
}

} // namespace tarn::eval
