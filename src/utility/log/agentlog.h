// The writer of the shared agent log: one per process, created on first use. Each record is
// appended under the machine-wide log lock by opening, writing and closing the file, so that
// other processes and tools may read, rename or delete it at any time.
#pragma once

#include "utility/log/logplatform.h"

#include <atomic>
#include <cstdint>
#include <string>

class AgentLog {
public:
    using InFlightCounter = std::atomic<std::int32_t>;

    static constexpr std::uint32_t kLockTimeoutMs = 1000;
    static constexpr std::uint32_t kCloseWaitMs = 2000;

    // The process's writer.
    static AgentLog& Instance();

    // A writer into the default log directory, or into `directory`.
    AgentLog();
    explicit AgentLog(std::u16string directory);
    ~AgentLog();
    AgentLog(const AgentLog&) = delete;
    AgentLog& operator=(const AgentLog&) = delete;

    // The process-wide override: mode bits 20-27 and an extra mask, or 0xFFFFFFFF for none.
    std::uint32_t Override() const noexcept { return override_.load(); }

    // The configured severity mask with the size and count limits; all 0 once closed.
    std::uint32_t ReadSettings(std::uint32_t& maxSizeKB, std::uint32_t& maxFiles) noexcept;

    const std::u16string& LogDirectory() const noexcept { return logDirectory_; }
    const std::u16string& LogFilePath() const noexcept { return logFilePath_; }

    // Appends one record. Once it holds the lock it counts itself in the in-flight counter
    // and hands that counter out through `inFlight`; the caller decrements it after the call
    // returns, also by an exception. Null names and zero ids stand for this module, process
    // and thread. Failures drop the record silently.
    void Write(InFlightCounter*& inFlight, std::uint32_t severity, const char16_t* source,
               const char16_t* moduleName, const char16_t* processName, std::uint32_t processId,
               std::uint32_t threadId, const char16_t* message);

    // Stops the writer: later settings reads report it closed; waits up to 2000 ms for
    // writes still in progress.
    void Close() noexcept;

private:
    void Initialise(std::u16string directory);
    void ReadOverride();
    void AppendRecord(std::uint32_t severity, const char16_t* source, const char16_t* moduleName,
                      const char16_t* processName, std::uint32_t processId, std::uint32_t threadId,
                      const char16_t* message);

    std::u16string logFilePath_;
    std::u16string logDirectory_;
    std::u16string hostName_;
    std::u16string processName_;
    std::u16string moduleName_;
    std::atomic<std::uint32_t> maxSizeKB_{100};
    std::atomic<std::uint32_t> maxFiles_{20};
    std::atomic<std::uint32_t> severityMask_{7};
    tarn::logplatform::LogLock lock_;
    std::u16string recordText_;
    std::string utf8Buffer_;
    std::atomic<std::int32_t> enabled_{0};
    InFlightCounter inFlight_{0};
    std::atomic<std::uint32_t> override_{0xFFFFFFFFu};
};
