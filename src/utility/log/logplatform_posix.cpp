#include "utility/log/logplatform.h"

#include "utility/log/installlog.h"

#include "utility/text/strings.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tarn::logplatform {

namespace {

std::u16string AfterLastSlash(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return Utf8ToUtf16(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectories(const std::string& path) {
    if (path.empty() || IsDirectory(path)) {
        return !path.empty();
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash != 0) {
        MakeDirectories(path.substr(0, slash));
    }
    return ::mkdir(path.c_str(), 0777) == 0 || IsDirectory(path);
}

} // namespace

logrecord::Date CurrentDate() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    if (::localtime_r(&now.tv_sec, &local) == nullptr) {
        return {};
    }
    return {static_cast<std::uint16_t>(local.tm_year + 1900),
            static_cast<std::uint16_t>(local.tm_mon + 1),
            static_cast<std::uint16_t>(local.tm_mday),
            static_cast<std::uint16_t>(local.tm_hour),
            static_cast<std::uint16_t>(local.tm_min),
            static_cast<std::uint16_t>(local.tm_sec),
            static_cast<std::uint16_t>(now.tv_nsec / 1000000),
            static_cast<std::int32_t>(-local.tm_gmtoff / 60)};
}

std::uint32_t TickCount() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::uint32_t CurrentProcessId() noexcept {
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t CurrentThreadId() noexcept {
    return static_cast<std::uint32_t>(::gettid());
}

std::u16string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    std::string host(name);
    return Utf8ToUtf16(host.substr(0, host.find('.')));
}

std::u16string ProcessFileName() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) {
        return {};
    }
    return AfterLastSlash(std::string(path, static_cast<std::size_t>(n)));
}

std::u16string ModuleFileName() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ModuleFileName), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    return AfterLastSlash(info.dli_fname);
}

// No registry here: the directory named by TARN_LOG_DIR, else "tarn" in the temporary one.
std::u16string ChooseLogDirectory(RegistryKey&, bool) {
    if (const char* configured = std::getenv("TARN_LOG_DIR"); configured && *configured) {
        return Utf8ToUtf16(configured);
    }
    const char* temp = std::getenv("TMPDIR");
    const std::string base = temp != nullptr && *temp != '\0' ? temp : "/tmp";
    return Utf8ToUtf16(base + (base.back() == '/' ? "tarn" : "/tarn"));
}

void PrepareAgentDirectory(const std::u16string&, const LogSecurity&) {}

// Files get the process's default permissions.
struct LogSecurity::State {};
LogSecurity::LogSecurity(bool) {}
LogSecurity::~LogSecurity() = default;
void* LogSecurity::Directory() const noexcept {
    return nullptr;
}
void* LogSecurity::File() const noexcept {
    return nullptr;
}

// No other component of the agent runs here to announce changes.
struct ChangeCounter::State {};
ChangeCounter::ChangeCounter() = default;
ChangeCounter::~ChangeCounter() = default;
std::optional<std::uint32_t> ChangeCounter::Value() const noexcept {
    return std::nullopt;
}

char16_t PathSeparator() noexcept {
    return u'/';
}

bool ReadEnvironment(const char16_t* name, std::size_t capacity, std::u16string& value) {
    const char* text = std::getenv(Utf16ToUtf8(name).c_str());
    if (text == nullptr) {
        return false;
    }
    std::u16string read = Utf8ToUtf16(text);
    if (read.size() + 1 > capacity) {
        return false;
    }
    value = std::move(read);
    return true;
}

bool WriteEnvironment(const char16_t* name, const std::u16string& value) {
    return ::setenv(Utf16ToUtf8(name).c_str(), Utf16ToUtf8(value).c_str(), 1) == 0;
}

bool EnsureDirectory(const std::u16string& path, const LogSecurity&) {
    return MakeDirectories(Utf16ToUtf8(path));
}

std::vector<logrotation::LogFileEntry> MatchingFiles(const std::u16string& pattern,
                                                     std::uint32_t limit) {
    const std::string text = Utf16ToUtf8(pattern);
    const std::size_t slash = text.rfind('/');
    const std::size_t star = text.find('*', slash == std::string::npos ? 0 : slash);
    std::vector<logrotation::LogFileEntry> entries;
    if (slash == std::string::npos || star == std::string::npos) {
        return entries;
    }
    const std::string directory = text.substr(0, slash);
    const std::string head = text.substr(slash + 1, star - slash - 1);
    const std::string tail = text.substr(star + 1);
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) {
        return entries;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        struct stat info {};
        if (entries.size() >= limit || name.size() < head.size() + tail.size() ||
            name.compare(0, head.size(), head) != 0 ||
            name.compare(name.size() - tail.size(), tail.size(), tail) != 0 ||
            ::stat((directory + "/" + name).c_str(), &info) != 0) {
            continue;
        }
        entries.push_back(
            {Utf8ToUtf16(name), static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                                    static_cast<std::uint64_t>(info.st_mtim.tv_nsec)});
    }
    ::closedir(listing);
    return entries;
}

std::uint64_t FileSizeBySearch(const std::u16string& path) {
    struct stat info {};
    return ::stat(Utf16ToUtf8(path).c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size)
                                                         : 0;
}

bool RemoveFile(const std::u16string& path) noexcept {
    try {
        return ::unlink(Utf16ToUtf8(path).c_str()) == 0;
    } catch (...) {
        return false;
    }
}

RenameResult RenameFile(const std::u16string& from, const std::u16string& to) noexcept {
    try {
        // A hard link fails when the target exists, where rename would replace it.
        if (::link(Utf16ToUtf8(from).c_str(), Utf16ToUtf8(to).c_str()) != 0) {
            return errno == EEXIST ? RenameResult::TargetExists : RenameResult::Failed;
        }
        ::unlink(Utf16ToUtf8(from).c_str());
        return RenameResult::Renamed;
    } catch (...) {
        return RenameResult::Failed;
    }
}

// No agent installer runs here: there is no install log.
const std::u16string& InstallLogPath() {
    static const std::u16string none;
    return none;
}

void AppendInstallLog(const std::u16string&, const std::string&) noexcept {}

// The console form goes to standard output when the console marker asks for it.
bool ConsoleEnabled() {
    static const bool enabled = [] {
        const char* marker = std::getenv(Utf16ToUtf8(installlog::kConsoleMarker).c_str());
        return marker != nullptr && std::string_view(marker) == "1";
    }();
    return enabled;
}

void WriteToConsole(const std::u16string& text) noexcept {
    try {
        const std::string bytes = Utf16ToUtf8(text);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        std::fflush(stdout);
    } catch (...) {
    }
}

// ---------------------------------------------------------------------------------------------

// A timed lock built from a mutex and a condition, which every thread checker understands.
struct LogLock::State {
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
};

LogLock::LogLock(bool) : state_(std::make_unique<State>()) {}

LogLock::~LogLock() = default;

bool LogLock::Acquire(std::uint32_t timeoutMs) noexcept {
    std::unique_lock<std::mutex> guard(state_->mutex);
    if (!state_->released.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                   [this] { return !state_->held; })) {
        return false;
    }
    state_->held = true;
    return true;
}

void LogLock::Release() noexcept {
    {
        const std::lock_guard<std::mutex> guard(state_->mutex);
        state_->held = false;
    }
    state_->released.notify_one();
}

// ---------------------------------------------------------------------------------------------

namespace {

// Waits for the exclusive lock on `fd` that writers in other processes also take.
bool LockExclusive(int fd, std::uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

AppendFile::~AppendFile() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

bool AppendFile::Open(const std::u16string& path, std::uint32_t lockTimeoutMs,
                      const LogSecurity*) noexcept {
    try {
        const int fd = ::open(Utf16ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            return false;
        }
        handle_ = fd;
        return LockExclusive(fd, lockTimeoutMs);
    } catch (...) {
        return false;
    }
}

bool AppendFile::SeekEnd(std::uint64_t& size) noexcept {
    const off_t end = ::lseek(static_cast<int>(handle_), 0, SEEK_END);
    if (end < 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(end);
    return true;
}

void AppendFile::Write(const char* data, std::size_t size) noexcept {
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(handle_), data, size);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

} // namespace tarn::logplatform
