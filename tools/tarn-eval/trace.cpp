#include "trace.h"

#include "utility/log/agentlog.h"
#include "utility/log/errortext.h"
#include "utility/log/logoverride.h"
#include "utility/log/logplatform.h"
#include "utility/log/logreader.h"
#include "utility/log/report.h"
#include "utility/log/systemmessage.h"
#include "utility/text/format.h"
#include "utility/text/strings.h"

#include <ostream>

namespace tarn::eval {

namespace {

// Every severity, no mode bits.
constexpr char16_t kEverySeverity[] = u"0000003F";

std::string Indented(const std::string& message) {
    std::string text;
    for (const char c : message) {
        if (c == '\r') {
            continue;
        }
        text += c;
        if (c == '\n') {
            text += "    ";
        }
    }
    return text;
}

} // namespace

TraceSession::TraceSession() {
    logplatform::WriteEnvironment(logoverride::kVariable, kEverySeverity);
    logFile_ = Utf16ToUtf8(AgentLog::Instance().LogFilePath());
}

void TraceSession::Mark() {
    start_ = logreader::ReadFileBytes(logFile_).size();
}

std::vector<std::string> TraceSession::Lines(std::int32_t hr) const {
    const std::string text = logreader::ReadFileBytes(logFile_);
    // A log that rotated meanwhile starts again from its beginning.
    const std::string_view added =
        start_ <= text.size() ? std::string_view(text).substr(start_) : std::string_view(text);
    const std::uint32_t self = logplatform::CurrentProcessId();
    std::vector<std::string> lines;
    for (const logreader::LogRecord& record : logreader::ParseLogRecords(added)) {
        if (record.pid == self) {
            lines.push_back(Utf16ToUtf8(SeverityWord(record.severity)) + ' ' + record.source +
                            ": " + Indented(record.message));
        }
    }
    if (hr < 0) {
        const auto code = static_cast<std::uint32_t>(hr);
        lines.push_back(Utf16ToUtf8(FormatString(16, u"0x%08X", code)) + ": " +
                        Utf16ToUtf8(GetErrorText(code, 0, kLanguageEnglishUs)));
    }
    return lines;
}

void TraceSession::Print(std::ostream& err, std::int32_t hr) const {
    for (const std::string& line : Lines(hr)) {
        err << line << '\n';
    }
}

} // namespace tarn::eval
