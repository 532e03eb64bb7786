#include "utility/log/logplatform.h"

#include "utility/platform/longpath.h"
#include "utility/platform/processpaths.h"
#include "utility/platform/wintypes.h"
#include "utility/text/format.h"

#include <shlobj.h>

namespace tarn::logplatform {

namespace {

constexpr wchar_t kLogMutexName[] = L"Global\\AGENTLOGMUTEX";
constexpr DWORD kLongPath = 32768;

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

bool IsDirectory(const std::wstring& path) {
    return paths::DirectoryExists(U16(path.c_str()));
}

bool MakeDirectories(const std::wstring& path) {
    if (path.empty() || IsDirectory(path)) {
        return !path.empty();
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash != 0) {
        MakeDirectories(path.substr(0, slash));
    }
    return CreateDirectoryW(path.c_str(), nullptr) || IsDirectory(path);
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.c_str()), text.size());
}

// Opens the machine-wide log mutex, creating it open to everyone when it does not exist.
HANDLE OpenLogMutex() {
    HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kLogMutexName);
    if (mutex != nullptr || GetLastError() != ERROR_FILE_NOT_FOUND) {
        return mutex;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    return CreateMutexW(&attributes, FALSE, kLogMutexName);
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

std::u16string DefaultLogDirectory() {
    wchar_t folder[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) ==
        S_OK) {
        return FormatString(520, u"%s\\Velmoric\\Velmoric Agent\\Logs", U16(folder));
    }
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) {
        return u"C:\\TEMP";
    }
    return std::u16string(U16(temp), n);
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

bool EnsureDirectory(const std::u16string& path) {
    return MakeDirectories(Wide(path));
}

namespace {

// A search handle of the log's own searches, closed on every path.
class Search {
public:
    Search(const std::u16string& pattern, WIN32_FIND_DATAW& data)
        : handle_(paths::FindFirstFileExtended(pattern, &data)) {}
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    ~Search() {
        if (Found()) {
            FindClose(handle_);
        }
    }
    bool Found() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAW& data) noexcept { return FindNextFileW(handle_, &data) != FALSE; }

private:
    HANDLE handle_;
};

std::uint64_t Combined(DWORD high, DWORD low) noexcept {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

} // namespace

std::vector<logrotation::LogFileEntry> MatchingFiles(const std::u16string& pattern,
                                                     std::uint32_t limit) {
    std::vector<logrotation::LogFileEntry> entries;
    WIN32_FIND_DATAW data{};
    Search search(pattern, data);
    for (bool more = search.Found(); more && entries.size() < limit; more = search.Next(data)) {
        entries.push_back({U16(data.cFileName), Combined(data.ftLastWriteTime.dwHighDateTime,
                                                         data.ftLastWriteTime.dwLowDateTime)});
    }
    return entries;
}

std::uint64_t FileSizeBySearch(const std::u16string& path) {
    WIN32_FIND_DATAW data{};
    const Search search(path, data);
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

// ---------------------------------------------------------------------------------------------

struct LogLock::State {
    HANDLE mutex = nullptr;
};

LogLock::LogLock() : state_(std::make_unique<State>()) {
    state_->mutex = OpenLogMutex();
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

bool AppendFile::Open(const std::u16string& path, std::uint32_t) noexcept {
    const HANDLE file =
        CreateFileW(Ole(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
