#include "utility/log/logplatform.h"

#include "utility/log/installlog.h"
#include "utility/log/logsettings.h"
#include "utility/log/singleton.h"
#include "utility/platform/identity.h"
#include "utility/platform/localmemory.h"
#include "utility/platform/longpath.h"
#include "utility/platform/osdetector.h"
#include "utility/platform/pathservices.h"
#include "utility/platform/pathtext.h"
#include "utility/platform/processpaths.h"
#include "utility/platform/securitypresets.h"
#include "utility/platform/sharedmemory.h"
#include "utility/platform/wintypes.h"
#include "utility/text/format.h"
#include "utility/text/strings.h"

#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace tarn::logplatform {

namespace {

constexpr wchar_t kLogMutexName[] = L"Global\\AGENTLOGMUTEX";
constexpr wchar_t kLowLogMutexName[] = L"Global\\AGENTLOGMUTEX_Low";
constexpr DWORD kLongPath = 32768;
constexpr DWORD kDirectoryChars = 520;
constexpr std::int32_t kFirstGenerationWithLabels = 20; // Windows Vista

// Security of what the log creates, for processes of ordinary and of low integrity.
constexpr wchar_t kDirectorySecurity[] =
    L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1201bf;;;BU)";
constexpr wchar_t kLowDirectorySecurity[] =
    L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1201ff;;;BU)S:(ML;;NW;;;LW)";
constexpr wchar_t kFileSecurity[] = L"D:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1201bf;;;BU)";
constexpr wchar_t kLowFileSecurity[] =
    L"D:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1201ff;;;BU)S:(ML;;NW;;;LW)";

// The agent's own service processes, which prepare the log directories for everyone.
constexpr const char16_t* kAgentServiceNames[] = {u"kpxqragent.exe", u"zulnagent.exe"};
constexpr wchar_t kChangeCounterName[] = L"Global\\Kpx_{9769A3C3-F9E1-4125-8257-033D6AF3E43B}";

std::u16string AfterLastBackslash(const wchar_t* path, DWORD length) {
    const std::u16string_view text(U16(path), length);
    const std::size_t slash = text.rfind(u'\\');
    return std::u16string(slash == std::u16string_view::npos ? text : text.substr(slash + 1));
}

std::u16string ModulePathName(HMODULE module) {
    std::wstring path(kLongPath, L'\0');
    const DWORD n = GetModuleFileNameW(module, path.data(), kLongPath);
    if (n == 0 || n >= kLongPath) {
        return {};
    }
    return AfterLastBackslash(path.c_str(), n);
}

// Opens the machine-wide log mutex, creating it open to everyone when it does not exist.
HANDLE OpenLogMutex(const wchar_t* name) {
    HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name);
    if (mutex != nullptr || GetLastError() != ERROR_FILE_NOT_FOUND) {
        return mutex;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    return CreateMutexW(&attributes, FALSE, name);
}

// A self-relative descriptor converted from SDDL, in a security-attributes record.
struct Descriptor {
    explicit Descriptor(const wchar_t* sddl) {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                 memory.Out<void>(), nullptr)) {
            attributes.lpSecurityDescriptor = memory.Get();
        }
    }
    SECURITY_ATTRIBUTES* Attributes() noexcept {
        return attributes.lpSecurityDescriptor != nullptr ? &attributes : nullptr;
    }
    LocalMemory memory;
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Puts the descriptor's access list (and, with `label`, its mandatory label) on a directory.
void ApplySecurity(const std::u16string& directory, Descriptor& descriptor, bool label) {
    if (descriptor.Attributes() == nullptr) {
        return;
    }
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    what |= label ? LABEL_SECURITY_INFORMATION : 0;
    SetFileSecurityW(Ole(directory.c_str()), what, descriptor.memory.Get());
}

// The directory exists afterwards, made with `security` when it did not.
void EnsureDirectoryWith(const std::u16string& directory, Descriptor& descriptor, bool label) {
    if (paths::DirectoryExists(directory)) {
        ApplySecurity(directory, descriptor, label);
    } else {
        paths::CreateDirectoryPath(directory.c_str(), descriptor.Attributes(), false);
    }
}

std::u16string FolderPath(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    return SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK
               ? std::u16string(U16(folder))
               : std::u16string();
}

std::u16string TemporaryDirectory() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    return n == 0 || n > MAX_PATH ? std::u16string() : std::u16string(U16(temp), n);
}

std::u16string Expanded(const std::u16string& text) {
    wchar_t expanded[kDirectoryChars] = {};
    const DWORD n = ExpandEnvironmentStringsW(Ole(text.c_str()), expanded, kDirectoryChars);
    return n == 0 || n > kDirectoryChars ? text : std::u16string(U16(expanded));
}

} // namespace

logrecord::Date CurrentDate() noexcept {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    TIME_ZONE_INFORMATION zone{};
    const DWORD id = GetTimeZoneInformation(&zone);
    logrecord::ZoneState state = logrecord::ZoneState::Unreadable;
    if (id == TIME_ZONE_ID_STANDARD) {
        state = logrecord::ZoneState::Standard;
    } else if (id == TIME_ZONE_ID_DAYLIGHT) {
        state = logrecord::ZoneState::Daylight;
    } else if (id == TIME_ZONE_ID_UNKNOWN) {
        state = logrecord::ZoneState::Unknown;
    }
    return {local.wYear,
            local.wMonth,
            local.wDay,
            local.wHour,
            local.wMinute,
            local.wSecond,
            local.wMilliseconds,
            logrecord::ZoneBias(state, zone.Bias, zone.StandardBias, zone.DaylightBias)};
}

std::uint32_t TickCount() noexcept {
    return GetTickCount();
}

std::uint32_t CurrentProcessId() noexcept {
    return GetCurrentProcessId();
}

std::uint32_t CurrentThreadId() noexcept {
    return GetCurrentThreadId();
}

std::u16string HostName() {
    return tarn::HostName();
}

std::u16string ProcessFileName() {
    return ModulePathName(nullptr);
}

std::u16string ModuleFileName() {
    HMODULE module = nullptr;
    constexpr DWORD kFlags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(kFlags, reinterpret_cast<LPCWSTR>(&ModuleFileName), &module)) {
        return {};
    }
    return ModulePathName(module);
}

std::u16string ChooseLogDirectory(RegistryKey& settings, bool lowIntegrity) {
    logsettings::LocationInputs inputs;
    inputs.filePath = logsettings::ReadFilePath(settings);
    inputs.osGeneration = OSDetector::Instance().OSGeneration();
    if (!inputs.filePath) {
        inputs.commonAppData = FolderPath(CSIDL_COMMON_APPDATA);
        inputs.programFiles = paths::ProgramFilesFolder();
        inputs.temporaryDirectory = TemporaryDirectory();
    } else if (inputs.filePath->empty()) {
        inputs.temporaryDirectory = TemporaryDirectory();
    }
    return logsettings::FinalDirectory(Expanded(logsettings::ConfiguredDirectory(inputs)),
                                       lowIntegrity);
}

void PrepareAgentDirectory(const std::u16string& directory, const LogSecurity& security) {
    const std::u16string process = ProcessFileName();
    const bool agentService =
        std::any_of(std::begin(kAgentServiceNames), std::end(kAgentServiceNames),
                    [&](const char16_t* name) { return EqualsAsciiNoCase(process, name); });
    if (!agentService || !IsRunningAsLocalSystem()) {
        return;
    }
    if (paths::DirectoryExists(directory)) {
        if (void* attributes = security.Directory()) {
            SetFileSecurityW(Ole(directory.c_str()), DACL_SECURITY_INFORMATION,
                             static_cast<SECURITY_ATTRIBUTES*>(attributes)->lpSecurityDescriptor);
        }
    } else {
        paths::CreateDirectoryPath(directory.c_str(),
                                   static_cast<SECURITY_ATTRIBUTES*>(security.Directory()), false);
    }
    if (OSDetector::Instance().OSGeneration() >= kFirstGenerationWithLabels) {
        Descriptor low(kLowDirectorySecurity);
        EnsureDirectoryWith(FormatString(kDirectoryChars, u"%ls\\Low", directory), low, true);
    }
}

// Converted once when the writer is made; default security where a conversion fails.
struct LogSecurity::State {
    explicit State(bool lowIntegrity)
        : directory(lowIntegrity ? kLowDirectorySecurity : kDirectorySecurity),
          file(lowIntegrity ? kLowFileSecurity : kFileSecurity) {}
    Descriptor directory;
    Descriptor file;
};

LogSecurity::LogSecurity(bool lowIntegrity) : state_(std::make_unique<State>(lowIntegrity)) {}
LogSecurity::~LogSecurity() = default;
void* LogSecurity::Directory() const noexcept {
    return state_->directory.Attributes();
}
void* LogSecurity::File() const noexcept {
    return state_->file.Attributes();
}

// The four-byte count in shared memory that everyone may read and write.
struct ChangeCounter::State {
    Memory::SharedMemory memory;
    bool mapped = false;
};

ChangeCounter::ChangeCounter() : state_(std::make_unique<State>()) {
    state_->mapped = state_->memory.Create(kChangeCounterName, sizeof(std::uint32_t), nullptr,
                                           EveryoneFullAccessAttributes(), false) == 0;
}
ChangeCounter::~ChangeCounter() = default;

std::optional<std::uint32_t> ChangeCounter::Value() const noexcept {
    if (!state_->mapped) {
        return std::nullopt;
    }
    return static_cast<std::atomic<std::uint32_t>*>(state_->memory.View())->load();
}

char16_t PathSeparator() noexcept {
    return u'\\';
}

bool ReadEnvironment(const char16_t* name, std::size_t capacity, std::u16string& value) {
    std::wstring text(capacity, L'\0');
    const DWORD n = GetEnvironmentVariableW(Ole(name), text.data(), static_cast<DWORD>(capacity));
    if (n == 0 || n >= capacity) {
        return false;
    }
    value.assign(U16(text.c_str()), n);
    return true;
}

bool WriteEnvironment(const char16_t* name, const std::u16string& value) {
    return SetEnvironmentVariableW(Ole(name), Ole(value.c_str())) != FALSE;
}

bool EnsureDirectory(const std::u16string& path, const LogSecurity& security) {
    return paths::DirectoryExists(path) ||
           paths::CreateDirectoryPath(
               path.c_str(), static_cast<SECURITY_ATTRIBUTES*>(security.Directory()), false);
}

namespace {

std::uint64_t Combined(DWORD high, DWORD low) noexcept {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

} // namespace

std::vector<logrotation::LogFileEntry> MatchingFiles(const std::u16string& pattern,
                                                     std::uint32_t limit) {
    std::vector<logrotation::LogFileEntry> entries;
    WIN32_FIND_DATAW data{};
    paths::FindHandle search(pattern, &data);
    for (bool more = search.Found(); more && entries.size() < limit; more = search.Next(&data)) {
        entries.push_back({U16(data.cFileName), Combined(data.ftLastWriteTime.dwHighDateTime,
                                                         data.ftLastWriteTime.dwLowDateTime)});
    }
    return entries;
}

std::uint64_t FileSizeBySearch(const std::u16string& path) {
    WIN32_FIND_DATAW data{};
    const paths::FindHandle search(path, &data);
    return search.Found() ? Combined(data.nFileSizeHigh, data.nFileSizeLow) : 0;
}

bool RemoveFile(const std::u16string& path) noexcept {
    return DeleteFileW(Ole(path.c_str())) != FALSE;
}

RenameResult RenameFile(const std::u16string& from, const std::u16string& to) noexcept {
    if (MoveFileW(Ole(from.c_str()), Ole(to.c_str()))) {
        return RenameResult::Renamed;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? RenameResult::TargetExists
                                                                       : RenameResult::Failed;
}

namespace {

// The install log's path, found at the first line of the process and kept until unload.
class InstallLog {
public:
    InstallLog() {
        const bool vista = OSDetector::Instance().OSGeneration() >= kFirstGenerationWithLabels;
        const std::u16string folder =
            FolderPath(vista ? CSIDL_COMMON_APPDATA : CSIDL_COMMON_DOCUMENTS);
        if (folder.empty()) {
            return;
        }
        path_ = FormatString(kDirectoryChars, u"%ls\\%ls\\InstallLogs\\%ls.log", folder,
                             vista ? u"Velmoric\\Velmoric Agent" : u"Orvanta\\Orvanta Agent",
                             u"KPXQRC");
        paths::CreateDirectoryPath(std::u16string(paths::ParentOf(path_)).c_str(), nullptr, true);
    }
    const std::u16string& Path() const noexcept { return path_; }

private:
    std::u16string path_;
};

// Console output of the agent's installer: attached to the console of the process that started
// this one, in UTF-16, when the console marker asks for it.
class ConsoleOutput {
public:
    ConsoleOutput() {
        std::u16string marker;
        if (!ReadEnvironment(installlog::kConsoleMarker, 20, marker) || marker != u"1" ||
            !AttachConsole(ATTACH_PARENT_PROCESS)) {
            return;
        }
        attached_ = true;
        STARTUPINFOW startup{};
        GetStartupInfoW(&startup);
        const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        const DWORD type = GetFileType(output);
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
            _setmode(_fileno(stdout), _O_U16TEXT);
            fwprintf(stdout, L"%lc", 0xFEFF);
            enabled_ = true;
            return;
        }
        const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(output), _O_TEXT);
        inherited_ = descriptor != -1 ? _fdopen(descriptor, "w") : nullptr;
        console_ = freopen("CONOUT$", "w", stdout);
        if (console_ == nullptr) {
            return;
        }
        setvbuf(stdout, nullptr, _IONBF, 0);
        _setmode(_fileno(stdout), _O_U16TEXT);
        if (!_isatty(_fileno(stdout))) {
            fwprintf(stdout, L"%lc", 0xFEFF);
        }
        enabled_ = true;
    }
    ~ConsoleOutput() {
        if (inherited_ != nullptr) {
            fclose(inherited_);
        }
        if (attached_) {
            FreeConsole();
        }
    }
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;
    bool Enabled() const noexcept { return enabled_; }

private:
    bool attached_ = false;
    bool enabled_ = false;
    FILE* console_ = nullptr;
    FILE* inherited_ = nullptr;
};

} // namespace

const std::u16string& InstallLogPath() {
    return Utility::SingletonT<InstallLog, 255>::Instance().Path();
}

void AppendInstallLog(const std::u16string& path, const std::string& line) noexcept {
    const HANDLE file = CreateFileW(Ole(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    if (SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    CloseHandle(file);
}

bool ConsoleEnabled() {
    return Utility::SingletonT<ConsoleOutput, 65535>::Instance().Enabled();
}

void WriteToConsole(const std::u16string& text) noexcept {
    fwprintf(stdout, L"%ls", Ole(text.c_str()));
}

// ---------------------------------------------------------------------------------------------

struct LogLock::State {
    HANDLE mutex = nullptr;
};

LogLock::LogLock(bool lowIntegrity) : state_(std::make_unique<State>()) {
    state_->mutex = OpenLogMutex(lowIntegrity ? kLowLogMutexName : kLogMutexName);
}

LogLock::~LogLock() {
    if (state_->mutex != nullptr) {
        CloseHandle(state_->mutex);
    }
}

bool LogLock::Acquire(std::uint32_t timeoutMs) noexcept {
    if (state_->mutex == nullptr) {
        return false;
    }
    const DWORD wait = WaitForSingleObject(state_->mutex, timeoutMs);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

void LogLock::Release() noexcept {
    ReleaseMutex(state_->mutex);
}

// ---------------------------------------------------------------------------------------------

AppendFile::~AppendFile() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

bool AppendFile::Open(const std::u16string& path, std::uint32_t,
                      const LogSecurity* security) noexcept {
    auto* attributes =
        static_cast<SECURITY_ATTRIBUTES*>(security != nullptr ? security->File() : nullptr);
    const HANDLE file =
        CreateFileW(Ole(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    attributes, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool AppendFile::SeekEnd(std::uint64_t& size) noexcept {
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(handle_), LARGE_INTEGER{}, &end, FILE_END)) {
        return false;
    }
    size = static_cast<std::uint64_t>(end.QuadPart);
    return true;
}

void AppendFile::Write(const char* data, std::size_t size) noexcept {
    DWORD written = 0;
    WriteFile(reinterpret_cast<HANDLE>(handle_), data, static_cast<DWORD>(size), &written, nullptr);
}

} // namespace tarn::logplatform
