// Files, directory searches, drive types and version resources of the live machine, asked
// under the calling thread's identity.
#include "machine/live/livemachine.h"
#include "utility/platform/longpath.h"

#include <windows.h>

#include <shlwapi.h>

#include <string>

namespace tarn::live {

namespace {

FindData EntryOf(const WIN32_FIND_DATAW& data) {
    return {data.dwFileAttributes,
            std::u16string(reinterpret_cast<const char16_t*>(data.cFileName))};
}

class WindowsSearch final : public DirectorySearch {
public:
    WindowsSearch(std::u16string_view pattern, WIN32_FIND_DATAW* first) noexcept
        : handle_(pattern, first) {}
    bool Found() const noexcept { return handle_.Found(); }

    DWORD Next(FindData& entry) override {
        WIN32_FIND_DATAW data = {};
        if (!handle_.Next(&data)) {
            return GetLastError();
        }
        entry = EntryOf(data);
        return ERROR_SUCCESS;
    }

private:
    paths::FindHandle handle_;
};

} // namespace

bool WindowsMachine::PathExists(std::u16string_view path) {
    return PathFileExistsW(Ole(std::u16string(path).c_str())) != FALSE;
}

SearchAnswer WindowsMachine::FindFiles(std::u16string_view pattern) {
    WIN32_FIND_DATAW data = {};
    auto search = std::make_unique<WindowsSearch>(pattern, &data);
    if (!search->Found()) {
        return {nullptr, {}, GetLastError()};
    }
    return {std::move(search), EntryOf(data), ERROR_SUCCESS};
}

UINT WindowsMachine::DriveType(std::u16string_view root) {
    return GetDriveTypeW(Ole(std::u16string(root).c_str()));
}

DWORD WindowsMachine::VersionResourceSize(std::u16string_view path) {
    DWORD handle = 0;
    return GetFileVersionInfoSizeW(Ole(std::u16string(path).c_str()), &handle);
}

DWORD WindowsMachine::ReadVersionResource(std::u16string_view path,
                                          std::vector<std::uint8_t>& resource) {
    if (!GetFileVersionInfoW(Ole(std::u16string(path).c_str()), 0,
                             static_cast<DWORD>(resource.size()), resource.data())) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

VersionValueAnswer WindowsMachine::QueryVersionValue(const std::vector<std::uint8_t>& resource,
                                                     std::u16string_view block) {
    void* value = nullptr;
    UINT length = 0;
    // The query only reads the resource; its signature asks for a writable pointer.
    if (!VerQueryValueW(const_cast<std::uint8_t*>(resource.data()),
                        Ole(std::u16string(block).c_str()), &value, &length) ||
        value == nullptr) {
        return {false, GetLastError(), {}};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    return {true, ERROR_SUCCESS, std::vector<std::uint8_t>(bytes, bytes + length)};
}

} // namespace tarn::live
