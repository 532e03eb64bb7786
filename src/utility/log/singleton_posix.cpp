#include "utility/log/singleton.h"
#include "utility/log/singletonplatform.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarn::Utility {

namespace {

pthread_mutex_t* Mutex(unsigned char* storage) noexcept {
    return reinterpret_cast<pthread_mutex_t*>(storage);
}

// The pid of a process tracing this one, from /proc/self/status; 0 when none.
long TracerPid() noexcept {
    const int file = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return 0;
    }
    char text[4096];
    const ssize_t got = read(file, text, sizeof(text) - 1);
    close(file);
    if (got <= 0) {
        return 0;
    }
    text[got] = '\0';
    const char* field = std::strstr(text, "TracerPid:");
    return field == nullptr ? 0 : std::strtol(field + std::strlen("TracerPid:"), nullptr, 10);
}

} // namespace

SingletonLock::SingletonLock() noexcept {
    static_assert(sizeof(pthread_mutex_t) <= sizeof(storage_));
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(Mutex(storage_), &attributes);
    pthread_mutexattr_destroy(&attributes);
}

SingletonLock::~SingletonLock() {
    pthread_mutex_destroy(Mutex(storage_));
}

void SingletonLock::Enter() noexcept {
    pthread_mutex_lock(Mutex(storage_));
}

void SingletonLock::Leave() noexcept {
    pthread_mutex_unlock(Mutex(storage_));
}

namespace platform {

std::uint32_t CurrentThreadId() noexcept {
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

// No debugger output channel here: the text goes to standard error. The messages are ASCII.
void WriteDebuggerOutput(const char16_t* text) noexcept {
    char narrow[256];
    std::size_t length = 0;
    for (; text[length] != u'\0' && length < sizeof(narrow); ++length) {
        narrow[length] = static_cast<char>(text[length]);
    }
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, narrow, length);
}

void BreakIntoAttachedDebugger() noexcept {
    if (TracerPid() != 0) {
        std::raise(SIGTRAP);
    }
}

void TerminateCurrentProcess(std::uint32_t exitCode) noexcept {
    _exit(static_cast<int>(exitCode));
}

} // namespace platform

} // namespace tarn::Utility
