// What the log writer needs from the operating system, and nothing else: clocks, identity
// names, the environment, the log directory, the machine-wide lock and appending to a file.
#pragma once

#include "utility/log/logrecord.h"
#include "utility/log/logrotation.h"
#include "utility/platform/registrykey.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn::logplatform {

logrecord::Date CurrentDate() noexcept;
// Milliseconds since an arbitrary start, wrapping at 32 bits.
std::uint32_t TickCount() noexcept;
std::uint32_t CurrentProcessId() noexcept;
std::uint32_t CurrentThreadId() noexcept;

// The computer's host name (DNS host label, else NetBIOS name); empty when unreadable.
std::u16string HostName();
// File names without directories; empty when unreadable.
std::u16string ProcessFileName();
std::u16string ModuleFileName();

char16_t PathSeparator() noexcept;

// The security given to what the log creates: directories and a new log file, for a process
// of ordinary or of low integrity. Default security where a descriptor cannot be made.
class LogSecurity {
public:
    explicit LogSecurity(bool lowIntegrity);
    ~LogSecurity();
    LogSecurity(const LogSecurity&) = delete;
    LogSecurity& operator=(const LogSecurity&) = delete;

    // SECURITY_ATTRIBUTES for the platform's create calls; null for default security.
    void* Directory() const noexcept;
    void* File() const noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The log directory from the settings (an open or closed key) and the process's integrity.
std::u16string ChooseLogDirectory(RegistryKey& settings, bool lowIntegrity);
// In the agent's own service process, creates the log directory and its "Low" subdirectory
// with their security, or puts that security on them; elsewhere does nothing.
void PrepareAgentDirectory(const std::u16string& directory, const LogSecurity& security);

// The machine-wide count of settings changes that other components of the agent increase.
class ChangeCounter {
public:
    ChangeCounter();
    ~ChangeCounter();
    ChangeCounter(const ChangeCounter&) = delete;
    ChangeCounter& operator=(const ChangeCounter&) = delete;

    // The current count; nothing when the counter could not be created or opened.
    std::optional<std::uint32_t> Value() const noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The variable's value when it is set and shorter than `capacity` characters.
bool ReadEnvironment(const char16_t* name, std::size_t capacity, std::u16string& value);
bool WriteEnvironment(const char16_t* name, const std::u16string& value);

// True when `path` is a directory, creating it and its missing parents first if needed, each
// with the log's directory security.
bool EnsureDirectory(const std::u16string& path, const LogSecurity& security);

// The log file and its archives: the entries matching "<directory><separator><base>*<ext>" in
// the order the file system returns them, at most `limit`; empty when none match.
std::vector<logrotation::LogFileEntry> MatchingFiles(const std::u16string& pattern,
                                                     std::uint32_t limit);
// The size of the file as a directory search reports it; 0 when it does not exist.
std::uint64_t FileSizeBySearch(const std::u16string& path);
bool RemoveFile(const std::u16string& path) noexcept;
enum class RenameResult { Renamed, TargetExists, Failed };
// Renames without replacing an existing target.
RenameResult RenameFile(const std::u16string& from, const std::u16string& to) noexcept;

// The install log's path, found once per process with its directory made (the agent's
// "InstallLogs" folder under common application data on Windows Vista and later); empty when
// the folder is unknown.
const std::u16string& InstallLogPath();
// Appends `line` to the install log, sharing it for reading only; failures are silent.
void AppendInstallLog(const std::u16string& path, const std::string& line) noexcept;
// Console output is on for this process: decided at the first call from the console marker.
bool ConsoleEnabled();
void WriteToConsole(const std::u16string& text) noexcept;

// The lock that serialises the log's writers: machine-wide on Windows (a named mutex), and
// within the process elsewhere, where the file lock of AppendFile covers other processes.
class LogLock {
public:
    // The lock of processes of ordinary or of low integrity.
    explicit LogLock(bool lowIntegrity);
    ~LogLock();
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;

    bool Acquire(std::uint32_t timeoutMs) noexcept;
    void Release() noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The log file, opened for one record and closed again.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens or creates the file for writing, others keeping read and write access; a new file
    // gets the log's file security.
    bool Open(const std::u16string& path, std::uint32_t lockTimeoutMs,
              const LogSecurity* security = nullptr) noexcept;
    // Moves to the end; `size` is the position there.
    bool SeekEnd(std::uint64_t& size) noexcept;
    // One write call; a failure is not reported.
    void Write(const char* data, std::size_t size) noexcept;

private:
    std::intptr_t handle_ = -1;
};

} // namespace tarn::logplatform
