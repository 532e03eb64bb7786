#include "support/logcapture.h"

#include "utility/log/agentlog.h"
#include "utility/log/logoverride.h"
#include "utility/text/strings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarn::test {

namespace {

// Points the agent log at a fresh directory before anything logs.
class PrivateLogDirectory {
public:
    PrivateLogDirectory() {
        const char* temp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/tarn-unit-log-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            directory_ = pattern;
            ::setenv("TARN_LOG_DIR", directory_.c_str(), 1);
        }
        ::setenv(Utf16ToUtf8(logoverride::kVariable).c_str(), "0000003F", 1);
    }
    ~PrivateLogDirectory() {
        if (!directory_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(directory_, ignored);
        }
    }

private:
    std::string directory_;
};

const PrivateLogDirectory privateLogDirectory;

} // namespace

// The log rotates by size: a capture starts a new file, so that what it reads cannot have
// moved into an archive meanwhile.
LogCapture::LogCapture() {
    std::error_code ignored;
    std::filesystem::remove(LogFilePath(), ignored);
}

std::string LogCapture::LogFilePath() {
    return Utf16ToUtf8(AgentLog::Instance().LogFilePath());
}

std::vector<LogRecord> LogCapture::Records() const {
    const std::string text = ReadFileBytes(LogFilePath());
    return ParseLogRecords(text);
}

std::vector<LogRecord> LogCapture::RecordsFrom(const std::string& source) const {
    std::vector<LogRecord> matching;
    for (LogRecord& record : Records()) {
        if (record.source == source) {
            matching.push_back(std::move(record));
        }
    }
    return matching;
}

std::string LogCapture::Transcript() const {
    std::string text;
    for (const LogRecord& r : Records()) {
        text += std::to_string(r.severity) + " " + r.source + ": " + r.message + "\n";
    }
    return text;
}

} // namespace tarn::test
