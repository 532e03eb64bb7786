// Files, directory searches, drive types and version resources of the live machine, asked
// under the calling thread's identity.
#include "machine/live/livemachine.h"
#include "utility/platform/longpath.h"

#include <windows.h>

#include <shlwapi.h>

#include <string>

namespace tarn::live {

namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

FindData EntryOf(const WIN32_FIND_DATAW& data) {
    return {data.dwFileAttributes,
            std::u16string(reinterpret_cast<const char16_t*>(data.cFileName))};
}

// A find handle, closed keeping the thread's last-error code.
class WindowsSearch final : public DirectorySearch {
public:
    explicit WindowsSearch(HANDLE handle) noexcept : handle_(handle) {}
    WindowsSearch(const WindowsSearch&) = delete;
    WindowsSearch& operator=(const WindowsSearch&) = delete;
    ~WindowsSearch() override {
        const DWORD error = GetLastError();
        FindClose(handle_);
        SetLastError(error);
    }

    DWORD Next(FindData& entry) override {
        WIN32_FIND_DATAW data = {};
        if (!FindNextFileW(handle_, &data)) {
            return GetLastError();
        }
        entry = EntryOf(data);
        return ERROR_SUCCESS;
    }

private:
    HANDLE handle_;
};

} // namespace

bool WindowsMachine::PathExists(std::u16string_view path) {
    return PathFileExistsW(Wide(std::u16string(path))) != FALSE;
}

SearchAnswer WindowsMachine::FindFiles(std::u16string_view pattern) {
    WIN32_FIND_DATAW data = {};
    const HANDLE handle = paths::FindFirstFileExtended(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) {
        return {nullptr, {}, GetLastError()};
    }
    return {std::make_unique<WindowsSearch>(handle), EntryOf(data), ERROR_SUCCESS};
}

UINT WindowsMachine::DriveType(std::u16string_view root) {
    return GetDriveTypeW(Wide(std::u16string(root)));
}

DWORD WindowsMachine::VersionResourceSize(std::u16string_view path) {
    DWORD handle = 0;
    return GetFileVersionInfoSizeW(Wide(std::u16string(path)), &handle);
}

DWORD WindowsMachine::ReadVersionResource(std::u16string_view path,
                                          std::vector<std::uint8_t>& resource) {
    if (!GetFileVersionInfoW(Wide(std::u16string(path)), 0, static_cast<DWORD>(resource.size()),
                             resource.data())) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

VersionValueAnswer WindowsMachine::QueryVersionValue(const std::vector<std::uint8_t>& resource,
                                                     std::u16string_view block) {
    void* value = nullptr;
    UINT length = 0;
    // The query only reads the resource; its signature asks for a writable pointer.
    if (!VerQueryValueW(const_cast<std::uint8_t*>(resource.data()), Wide(std::u16string(block)),
                        &value, &length) ||
        value == nullptr) {
        return {false, GetLastError(), {}};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    return {true, ERROR_SUCCESS, std::vector<std::uint8_t>(bytes, bytes + length)};
}

} // namespace tarn::live
