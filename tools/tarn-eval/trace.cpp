#include "trace.h"

#include "utility/log/agentlog.h"
#include "utility/log/logoverride.h"
#include "utility/log/logplatform.h"
#include "utility/log/logreader.h"
#include "utility/log/report.h"
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

void TraceSession::Print(std::ostream& err) const {
    const std::string text = logreader::ReadFileBytes(logFile_);
    // A log that rotated meanwhile starts again from its beginning.
    const std::string_view added =
        start_ <= text.size() ? std::string_view(text).substr(start_) : std::string_view(text);
    const std::uint32_t self = logplatform::CurrentProcessId();
    for (const logreader::LogRecord& record : logreader::ParseLogRecords(added)) {
        if (record.pid == self) {
            err << Utf16ToUtf8(SeverityWord(record.severity)) << ' ' << record.source << ": "
                << Indented(record.message) << '\n';
        }
    }
}

} // namespace tarn::eval
