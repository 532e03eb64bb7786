// --trace: the records one evaluation writes into the agent log, shown on standard error. The
// component logs every severity through the process-wide logging override, and the tool reads
// back what this process appended to the log file.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tarn::eval {

class TraceSession {
public:
    // Sets the override so that every severity is written; before anything logs.
    TraceSession();

    // Where the next evaluation's records will start.
    void Mark();
    // The records this process appended since Mark(), one per line (continuation lines
    // indented): "<severity word> <source>: <message>"; then, for a failure, the text of its
    // HRESULT: "0x80004005: <text>".
    void Print(std::ostream& err, std::int32_t hr) const;
    // The same lines, without their line ends.
    std::vector<std::string> Lines(std::int32_t hr) const;

private:
    std::string logFile_;
    std::uint64_t start_ = 0;
};

} // namespace tarn::eval
