// The file-system calls on the extended-length form of a path ("\\?\C:\..."), which lifts the
// platform's 260-character limit, and the directory services built on them. Windows only;
// the decisions are in pathservices.h.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tarn::paths {

// ExtendedLengthForm with PathCanonicalizeW as the canonicaliser.
std::u16string ExtendedLengthPath(std::u16string_view path);

// The platform calls on ExtendedLengthPath(path); they answer and set the last-error code as
// the calls themselves do. The search handle is the caller's to close with FindClose.
BOOL CreateDirectoryExtended(std::u16string_view path, SECURITY_ATTRIBUTES* security);
HANDLE FindFirstFileExtended(std::u16string_view path, WIN32_FIND_DATAW* data);
DWORD GetFileAttributesExtended(std::u16string_view path);

// A directory search on the extended-length form of a pattern, positioned on its first entry;
// closed with FindClose, keeping the thread's last-error code. The one holder of find handles.
class FindHandle {
public:
    FindHandle(std::u16string_view pattern, WIN32_FIND_DATAW* data) noexcept
        : handle_(FindFirstFileExtended(pattern, data)) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (Found()) {
            const DWORD error = GetLastError();
            FindClose(handle_);
            SetLastError(error);
        }
    }
    // The pattern matched something; else the last-error code says why.
    bool Found() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAW* data) noexcept { return FindNextFileW(handle_, data) != FALSE; }

private:
    HANDLE handle_;
};

// GetFileAttributesExtended succeeds and reports a directory.
bool DirectoryExists(std::u16string_view path);

// Creates `path` and its missing parents with `security` (may be null). True when the path is
// a directory afterwards (last-error ERROR_ALREADY_EXISTS when it already was); false with the
// failure's last-error code: ERROR_INVALID_PARAMETER for a null or empty path, ERROR_CANNOT_MAKE
// for an existing non-directory. With `report`, a failed creation is logged as a warning.
bool CreateDirectoryPath(const char16_t* path, SECURITY_ATTRIBUTES* security, bool report);

} // namespace tarn::paths
