// Native tests read what the process's agent log received. This support library makes the
// test binary log everything into a private directory: before any test runs, TARN_LOG_DIR
// names a fresh temporary directory (removed at exit) and the logging override variable
// holds "0000003F", so every severity is written and the callers' mode bits are ignored.
#pragma once

#include "common/logrecords.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::test {

// The records appended to the process's agent log since construction, which starts the log
// file anew.
class LogCapture {
public:
    LogCapture();

    std::vector<LogRecord> Records() const;
    // Only the records with this source.
    std::vector<LogRecord> RecordsFrom(const std::string& source) const;

    // The records, one line each: "<severity> <source>: <message>".
    std::string Transcript() const;

    // The agent log file of the process (UTF-8 path).
    static std::string LogFilePath();
};

} // namespace tarn::test
