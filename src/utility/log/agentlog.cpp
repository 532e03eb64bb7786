#include "utility/log/agentlog.h"

#include "utility/log/logoverride.h"
#include "utility/log/logrecord.h"
#include "utility/log/logsettings.h"
#include "utility/log/singleton.h"
#include "utility/platform/identity.h"
#include "utility/text/strings.h"

#include <chrono>
#include <thread>

namespace {

namespace platform = tarn::logplatform;
namespace rotation = tarn::logrotation;

constexpr std::size_t kReservedChars = 8192;
constexpr std::size_t kFilePathChars = 260;

// Releases the log lock on every path out of a write.
class HeldLock {
public:
    explicit HeldLock(platform::LogLock& lock) noexcept : lock_(lock) {}
    ~HeldLock() { lock_.Release(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    platform::LogLock& lock_;
};

std::u16string_view OrDefault(const char16_t* given, const std::u16string& fallback) {
    return given != nullptr ? std::u16string_view(given) : std::u16string_view(fallback);
}

} // namespace

AgentLog& AgentLog::Instance() {
    return tarn::Utility::SingletonT<AgentLog, 255>::Instance();
}

AgentLog::AgentLog() : registry_(&tarn::LiveRegistryApi()) {
    Initialise(nullptr);
}

AgentLog::AgentLog(std::u16string directory, tarn::RegistryApi& registry) : registry_(&registry) {
    Initialise(&directory);
}

tarn::RegistryKey AgentLog::OpenSettings() const {
    tarn::RegistryKey key(*registry_);
    key.Open(HKEY_LOCAL_MACHINE, tarn::logsettings::kSettingsKey, KEY_READ);
    return key;
}

AgentLog::~AgentLog() {
    if (enabled_.load() != 0) {
        Close();
    }
}

void AgentLog::Initialise(const std::u16string* directory) {
    nextRefreshTick_.store(platform::TickCount() + tarn::logsettings::kRefreshMs);
    lowIntegrity_ = tarn::IsLowIntegrityProcess();
    lock_ = std::make_unique<platform::LogLock>(lowIntegrity_);
    security_ = std::make_unique<platform::LogSecurity>(lowIntegrity_);
    recordText_.reserve(kReservedChars);
    utf8Buffer_.reserve(kReservedChars);
    tarn::RegistryKey settings = OpenSettings();
    enabled_.store(1);
    processName_ = platform::ProcessFileName();
    moduleName_ = platform::ModuleFileName();
    hostName_ = platform::HostName();
    StoreLimits(settings);
    if (directory != nullptr) {
        logDirectory_ = tarn::logsettings::FinalDirectory(*directory, false);
    } else {
        logDirectory_ = platform::ChooseLogDirectory(settings, lowIntegrity_);
        platform::PrepareAgentDirectory(logDirectory_, *security_);
    }
    const std::u16string fileName = tarn::logsettings::ReadFileName(settings);
    const char16_t separator = platform::PathSeparator();
    logFilePath_ = logDirectory_ + separator + fileName;
    if (logFilePath_.size() >= kFilePathChars) {
        logFilePath_.clear(); // no such file can be opened; every record is dropped
    }
    fileName_ = rotation::SplitFileName(fileName);
    rotationPattern_ = rotation::RotationPattern(logDirectory_, fileName_, separator);
    ReadOverride();
    changeCounter_ = std::make_unique<platform::ChangeCounter>();
    if (const std::optional<std::uint32_t> value = changeCounter_->Value()) {
        lastSeenChange_.store(*value);
    }
}

// A valid override is stored masked and written back normalised, so that child processes
// inherit the same value.
void AgentLog::ReadOverride() {
    using namespace tarn::logoverride;
    std::u16string text;
    if (!platform::ReadEnvironment(kVariable, kReadChars, text) || !ParseHex(text)) {
        return;
    }
    const std::uint32_t value = FromText(text);
    override_.store(value);
    platform::WriteEnvironment(kVariable, ToText(value));
}

void AgentLog::StoreLimits(tarn::RegistryKey& settings) noexcept {
    try {
        const tarn::logsettings::Limits limits = tarn::logsettings::ReadLimits(settings);
        severityMask_.store(limits.severityMask);
        maxSizeKB_.store(limits.maxSizeKB);
        maxFiles_.store(limits.maxFiles);
    } catch (...) {
        // Memory ran out reading the key: the limits stay as they were.
    }
}

std::uint32_t AgentLog::ReadSettings(std::uint32_t& maxSizeKB, std::uint32_t& maxFiles) noexcept {
    maxSizeKB = 0;
    maxFiles = 0;
    if (enabled_.load() == 0) {
        return 0;
    }
    const std::uint32_t now = platform::TickCount();
    bool reread = now > nextRefreshTick_.load();
    if (const std::optional<std::uint32_t> change = changeCounter_->Value()) {
        reread = lastSeenChange_.exchange(*change) != *change || reread;
    }
    if (reread) {
        if (tarn::RegistryKey settings = OpenSettings(); settings.IsOpen()) {
            StoreLimits(settings);
        }
        nextRefreshTick_.store(now + tarn::logsettings::kRefreshMs);
    }
    maxSizeKB = maxSizeKB_.load();
    maxFiles = maxFiles_.load();
    return severityMask_.load();
}

void AgentLog::Write(InFlightCounter*& inFlight, std::uint32_t severity, const char16_t* source,
                     const char16_t* moduleName, const char16_t* processName,
                     std::uint32_t processId, std::uint32_t threadId, const char16_t* message) {
    if (!lock_->Acquire(kLockTimeoutMs)) {
        return;
    }
    const HeldLock held(*lock_);
    inFlight_.fetch_add(1);
    inFlight = &inFlight_;
    // Files are created and written as the process, not as a user a thread impersonates.
    const tarn::ImpersonationSuspender suspended;
    AppendRecord(severity, source, moduleName, processName, processId, threadId, message);
}

bool AgentLog::LockForOutput() noexcept {
    return lock_->Acquire(kLockTimeoutMs);
}

void AgentLog::UnlockForOutput() noexcept {
    lock_->Release();
}

// Runs with the lock held.
void AgentLog::AppendRecord(std::uint32_t severity, const char16_t* source,
                            const char16_t* moduleName, const char16_t* processName,
                            std::uint32_t processId, std::uint32_t threadId,
                            const char16_t* message) {
    if (!platform::EnsureDirectory(logDirectory_, *security_) || !RotateIfFull()) {
        return;
    }
    platform::AppendFile file;
    if (!file.Open(logFilePath_, kLockTimeoutMs, security_.get())) {
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
    if (end == 0) {
        if (const std::optional<std::u16string> text =
                tarn::logsettings::ReadHeaderText(*registry_)) {
            if (const std::optional<std::string> header =
                    tarn::logrecord::BuildHeader(fields, *text)) {
                file.Write(header->data(), header->size());
            }
        }
    }
    file.Write(utf8Buffer_.data(), utf8Buffer_.size());
}

bool AgentLog::RotateIfFull() {
    const std::uint64_t limit = std::uint64_t{maxSizeKB_.load() * 1024u}; // a 32-bit product
    return platform::FileSizeBySearch(logFilePath_) <= limit || Rotate(maxFiles_.load());
}

bool AgentLog::Rotate(std::uint32_t maxFiles) {
    const char16_t separator = platform::PathSeparator();
    const std::vector<rotation::LogFileEntry> examined =
        platform::MatchingFiles(rotationPattern_, maxFiles);
    const rotation::RotationPlan plan =
        rotation::PlanRotation(examined, logDirectory_, logFilePath_, maxFiles, separator);
    if (plan.deleteEntry &&
        !platform::RemoveFile(logDirectory_ + separator + examined[*plan.deleteEntry].name)) {
        return false;
    }
    if (!plan.archiveCurrent) {
        return true;
    }
    for (std::uint32_t number = 1; number != 0; ++number) {
        switch (platform::RenameFile(
            logFilePath_, rotation::ArchivePath(logDirectory_, fileName_, number, separator))) {
        case platform::RenameResult::Renamed:
            return true;
        case platform::RenameResult::TargetExists:
            break;
        case platform::RenameResult::Failed:
            return false;
        }
    }
    return false;
}

void AgentLog::Close() noexcept {
    enabled_.store(0);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseWaitMs);
    while (inFlight_.load() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
