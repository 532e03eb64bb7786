// The writer of the shared agent log: one per process, created on first use. Each record is
// appended under the machine-wide log lock by opening, writing and closing the file, so that
// other processes and tools may read, rename or delete it at any time. The file rotates by
// size into numbered archives; its settings come from the registry and are re-read at most a
// minute apart, or at once when the machine-wide change counter moves.
#pragma once

#include "utility/log/logplatform.h"
#include "utility/log/logrotation.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class AgentLog {
public:
    using InFlightCounter = std::atomic<std::int32_t>;

    static constexpr std::uint32_t kLockTimeoutMs = 1000;
    static constexpr std::uint32_t kCloseWaitMs = 2000;

    // The process's writer.
    static AgentLog& Instance();

    // A writer placed by the settings and the process's identity, or one into `directory` (no
    // agent directory preparation) with its settings read through `registry`.
    AgentLog();
    explicit AgentLog(std::u16string directory,
                      tarn::RegistryApi& registry = tarn::LiveRegistryApi());
    ~AgentLog();
    AgentLog(const AgentLog&) = delete;
    AgentLog& operator=(const AgentLog&) = delete;

    // The process-wide override: mode bits 20-27 and an extra mask, or 0xFFFFFFFF for none.
    std::uint32_t Override() const noexcept { return override_.load(); }

    // The configured severity mask with the size and count limits, re-read from the registry
    // when a minute has passed or the change counter moved; all 0 once closed.
    std::uint32_t ReadSettings(std::uint32_t& maxSizeKB, std::uint32_t& maxFiles) noexcept;

    const std::u16string& LogDirectory() const noexcept { return logDirectory_; }
    const std::u16string& LogFilePath() const noexcept { return logFilePath_; }
    const std::u16string& RotationPattern() const noexcept { return rotationPattern_; }
    bool LowIntegrity() const noexcept { return lowIntegrity_; }

    // Appends one record. Once it holds the lock it counts itself in the in-flight counter
    // and hands that counter out through `inFlight`; the caller decrements it after the call
    // returns, also by an exception. Null names and zero ids stand for this module, process
    // and thread. Failures drop the record silently.
    void Write(InFlightCounter*& inFlight, std::uint32_t severity, const char16_t* source,
               const char16_t* moduleName, const char16_t* processName, std::uint32_t processId,
               std::uint32_t threadId, const char16_t* message);

    // Takes the log lock for another output of a record (install log, console); false when it
    // could not be taken within the time-out.
    bool LockForOutput() noexcept;
    void UnlockForOutput() noexcept;

    // Stops the writer: later settings reads report it closed; waits up to 2000 ms for
    // writes still in progress.
    void Close() noexcept;

private:
    void Initialise(const std::u16string* directory);
    tarn::RegistryKey OpenSettings() const;
    void ReadOverride();
    void StoreLimits(tarn::RegistryKey& settings) noexcept;
    void AppendRecord(std::uint32_t severity, const char16_t* source, const char16_t* moduleName,
                      const char16_t* processName, std::uint32_t processId, std::uint32_t threadId,
                      const char16_t* message);
    // Makes room for the next record when the file is over its size; false drops the record.
    bool RotateIfFull();
    bool Rotate(std::uint32_t maxFiles);

    tarn::RegistryApi* registry_;
    std::u16string logFilePath_;
    std::u16string rotationPattern_;
    std::u16string logDirectory_;
    tarn::logrotation::FileNameParts fileName_;
    std::u16string hostName_;
    std::u16string processName_;
    std::u16string moduleName_;
    std::atomic<std::uint32_t> maxSizeKB_{100};
    std::atomic<std::uint32_t> maxFiles_{20};
    std::atomic<std::uint32_t> severityMask_{0};
    std::atomic<std::uint32_t> nextRefreshTick_{0};
    bool lowIntegrity_ = false;
    std::unique_ptr<tarn::logplatform::LogLock> lock_;
    std::unique_ptr<tarn::logplatform::LogSecurity> security_;
    std::unique_ptr<tarn::logplatform::ChangeCounter> changeCounter_;
    std::atomic<std::uint32_t> lastSeenChange_{0};
    std::u16string recordText_;
    std::string utf8Buffer_;
    std::atomic<std::int32_t> enabled_{0};
    InFlightCounter inFlight_{0};
    std::atomic<std::uint32_t> override_{0xFFFFFFFFu};
};
