// What the log writer needs from the operating system, and nothing else: clocks, identity
// names, the environment, the log directory, the machine-wide lock and appending to a file.
#pragma once

#include "utility/log/logrecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

// The directory the log goes to when nothing configures one.
std::u16string DefaultLogDirectory();
char16_t PathSeparator() noexcept;

// The variable's value when it is set and shorter than `capacity` characters.
bool ReadEnvironment(const char16_t* name, std::size_t capacity, std::u16string& value);
bool WriteEnvironment(const char16_t* name, const std::u16string& value);

// True when `path` is a directory, creating it and its missing parents first if needed.
bool EnsureDirectory(const std::u16string& path);

// The lock that serialises the log's writers: machine-wide on Windows (a named mutex), and
// within the process elsewhere, where the file lock of AppendFile covers other processes.
class LogLock {
public:
    LogLock();
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

    // Opens or creates the file for writing, others keeping read and write access.
    bool Open(const std::u16string& path, std::uint32_t lockTimeoutMs) noexcept;
    // Moves to the end; `size` is the position there.
    bool SeekEnd(std::uint64_t& size) noexcept;
    // One write call; a failure is not reported.
    void Write(const char* data, std::size_t size) noexcept;

private:
    std::intptr_t handle_ = -1;
};

} // namespace tarn::logplatform
