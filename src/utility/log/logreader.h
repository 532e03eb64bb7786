// Reads the shared agent log back: the text of a log file (UTF-8) split into its event records,
// attributes unescaped and the message restored from its CDATA section. Bare line feeds were
// stored as CR LF; the message keeps the CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::logreader {

struct LogRecord {
    std::string date;
    std::uint32_t severity = 0;
    std::string hostName;
    std::string source;
    std::string module;
    std::string process;
    std::uint32_t pid = 0;
    std::uint32_t thread = 0;
    std::uint32_t tickCount = 0;
    std::string message;
};

// The records of `text` in file order. Parsing stops at the first piece that is not a
// well-formed record; `error` (optional) then says where, else it is left empty.
std::vector<LogRecord> ParseLogRecords(std::string_view text, std::string* error = nullptr);

// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

} // namespace tarn::logreader
