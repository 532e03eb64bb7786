#include "utility/log/agentlog.h"

#include "utility/log/logoverride.h"
#include "utility/log/logrecord.h"
#include "utility/log/singleton.h"
#include "utility/text/strings.h"

#include <chrono>
#include <thread>

namespace {

constexpr char16_t kDefaultFileName[] = u"Agent.log";
constexpr std::size_t kReservedChars = 8192;

std::u16string WithoutTrailingSeparator(std::u16string directory) {
    if (!directory.empty() && (directory.back() == u'\\' || directory.back() == u'/')) {
        directory.pop_back();
    }
    return directory;
}

// Releases the log lock on every path out of a write.
class HeldLock {
public:
    explicit HeldLock(tarn::logplatform::LogLock& lock) noexcept : lock_(lock) {}
    ~HeldLock() { lock_.Release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    tarn::logplatform::LogLock& lock_;
};

std::u16string_view OrDefault(const char16_t* given, const std::u16string& fallback) {
    return given != nullptr ? std::u16string_view(given) : std::u16string_view(fallback);
}

} // namespace

AgentLog& AgentLog::Instance() {
    return tarn::Utility::SingletonT<AgentLog, 255>::Instance();
}

AgentLog::AgentLog() {
    Initialise(tarn::logplatform::DefaultLogDirectory());
}

AgentLog::AgentLog(std::u16string directory) {
    Initialise(std::move(directory));
}

AgentLog::~AgentLog() {
    if (enabled_.load() != 0) {
        Close();
    }
}

void AgentLog::Initialise(std::u16string directory) {
    namespace platform = tarn::logplatform;
    recordText_.reserve(kReservedChars);
    utf8Buffer_.reserve(kReservedChars);
    processName_ = platform::ProcessFileName();
    moduleName_ = platform::ModuleFileName();
    hostName_ = platform::HostName();
    logDirectory_ = WithoutTrailingSeparator(std::move(directory));
    const char16_t separator = platform::PathSeparator();
    logFilePath_ = logDirectory_ + separator + kDefaultFileName;
    ReadOverride();
    enabled_.store(1);
}

// A valid override is stored masked and written back normalised, so that child processes
// inherit the same value.
void AgentLog::ReadOverride() {
    using namespace tarn::logoverride;
    std::u16string text;
    if (!tarn::logplatform::ReadEnvironment(kVariable, kReadChars, text) || !ParseHex(text)) {
        return;
    }
    const std::uint32_t value = FromText(text);
    override_.store(value);
    tarn::logplatform::WriteEnvironment(kVariable, ToText(value));
}

std::uint32_t AgentLog::ReadSettings(std::uint32_t& maxSizeKB, std::uint32_t& maxFiles) noexcept {
    maxSizeKB = 0;
    maxFiles = 0;
    if (enabled_.load() == 0) {
        return 0;
    }
    maxSizeKB = maxSizeKB_.load();
    maxFiles = maxFiles_.load();
    return severityMask_.load();
}

void AgentLog::Write(InFlightCounter*& inFlight, std::uint32_t severity, const char16_t* source,
                     const char16_t* moduleName, const char16_t* processName,
                     std::uint32_t processId, std::uint32_t threadId, const char16_t* message) {
    if (!lock_.Acquire(kLockTimeoutMs)) {
        return;
    }
    const HeldLock held(lock_);
    inFlight_.fetch_add(1);
    inFlight = &inFlight_;
    AppendRecord(severity, source, moduleName, processName, processId, threadId, message);
}

// Runs with the lock held. Suspending impersonation, rotation and the header record join
// here with the services they need.
void AgentLog::AppendRecord(std::uint32_t severity, const char16_t* source,
                            const char16_t* moduleName, const char16_t* processName,
                            std::uint32_t processId, std::uint32_t threadId,
                            const char16_t* message) {
    namespace platform = tarn::logplatform;
    if (!platform::EnsureDirectory(logDirectory_)) {
        return;
    }
    platform::AppendFile file;
    if (!file.Open(logFilePath_, kLockTimeoutMs)) {
        return;
    }
    const tarn::logrecord::Fields fields{
        platform::CurrentDate(),
        severity,
        hostName_,
        source != nullptr ? std::u16string_view(source) : std::u16string_view(),
        OrDefault(moduleName, moduleName_),
        OrDefault(processName, processName_),
        processId != 0 ? processId : platform::CurrentProcessId(),
        threadId != 0 ? threadId : platform::CurrentThreadId(),
        platform::TickCount() & 0x7FFFFFFFu,
        message != nullptr ? std::u16string_view(message) : std::u16string_view()};
    tarn::logrecord::BuildRecord(fields, recordText_);
    utf8Buffer_.clear();
    tarn::AppendUtf8(recordText_, utf8Buffer_);
    std::uint64_t end = 0;
    if (utf8Buffer_.empty() || !file.SeekEnd(end)) {
        return;
    }
    file.Write(utf8Buffer_.data(), utf8Buffer_.size());
}

void AgentLog::Close() noexcept {
    enabled_.store(0);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseWaitMs);
    while (inFlight_.load() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
