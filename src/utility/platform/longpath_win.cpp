#include "utility/platform/longpath.h"

#include "utility/log/report.h"
#include "utility/platform/pathservices.h"
#include "utility/platform/wintypes.h"

#include <shlwapi.h>

namespace tarn::paths {

namespace {

bool CanonicalizeWithShell(std::u16string& path) {
    wchar_t canonical[MAX_PATH] = {};
    if (!PathCanonicalizeW(canonical, reinterpret_cast<const wchar_t*>(path.c_str()))) {
        return false;
    }
    path = U16(canonical);
    return true;
}

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

class LiveDirectoryCalls final : public DirectoryCalls {
public:
    DWORD Attributes(std::u16string_view path) override { return GetFileAttributesExtended(path); }
    DWORD MakeDirectory(std::u16string_view path, SECURITY_ATTRIBUTES* security) override {
        return CreateDirectoryExtended(path, security) ? ERROR_SUCCESS : GetLastError();
    }
};

} // namespace

std::u16string ExtendedLengthPath(std::u16string_view path) {
    return ExtendedLengthForm(path, &CanonicalizeWithShell);
}

BOOL CreateDirectoryExtended(std::u16string_view path, SECURITY_ATTRIBUTES* security) {
    return CreateDirectoryW(Wide(ExtendedLengthPath(path)), security);
}

HANDLE FindFirstFileExtended(std::u16string_view path, WIN32_FIND_DATAW* data) {
    return FindFirstFileW(Wide(ExtendedLengthPath(path)), data);
}

DWORD GetFileAttributesExtended(std::u16string_view path) {
    return GetFileAttributesW(Wide(ExtendedLengthPath(path)));
}

bool DirectoryExists(std::u16string_view path) {
    const DWORD attributes = GetFileAttributesExtended(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectoryPath(const char16_t* path, SECURITY_ATTRIBUTES* security, bool report) {
    LiveDirectoryCalls calls;
    return CreateDirectoryPath(calls, path, security,
                               report ? 0u : std::uint32_t{CE_MODE_SUPPRESS});
}

} // namespace tarn::paths
