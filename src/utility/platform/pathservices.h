// The decisions of the path services, apart from the platform calls they make: the text that
// the extended-length calls hand to the platform, the creation of a directory with its missing
// parents, the Program Files folder and the name of the temporary-directory marker. The calls
// themselves are in longpath.h, processpaths.h and tempdirectory.h (Windows).
#pragma once

#include "utility/platform/registryapi.h"
#include "utility/platform/wintypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn::paths {

// Canonicalises a path in place (PathCanonicalizeW on Windows); false leaves it as it was.
using Canonicalizer = bool (*)(std::u16string& path);

// What the extended-length calls hand to the platform. Only a path whose second and third
// characters are ":" and "\" changes: canonicalised when it holds ".\", runs of backslashes
// collapsed to one, then "\\?\" in front. Any other path (relative, UNC, "C:a") is returned
// as it is.
std::u16string ExtendedLengthForm(std::u16string_view path, Canonicalizer canonicalize);

inline constexpr DWORD kNoFileAttributes = 0xFFFFFFFF; // INVALID_FILE_ATTRIBUTES

// The two file-system calls of CreateDirectoryPath, each on the extended-length form.
class DirectoryCalls {
public:
    virtual ~DirectoryCalls() = default;
    // GetFileAttributesW: kNoFileAttributes when the path does not exist.
    virtual DWORD Attributes(std::u16string_view path) = 0;
    // CreateDirectoryW: ERROR_SUCCESS or the code of the failure.
    virtual DWORD MakeDirectory(std::u16string_view path, SECURITY_ATTRIBUTES* security) = 0;
};

// Creates `path` with all its missing parents. An existing directory gives true with
// last-error ERROR_ALREADY_EXISTS; an existing non-directory gives false with
// ERROR_CANNOT_MAKE (82) and no report; a null or empty path false with
// ERROR_INVALID_PARAMETER. Any other failure leaves its code as the last-error code and is
// reported as a warning under "CreateDirectoryPath" with the mode bits `modes`
// (CE_MODE_SUPPRESS: no report), which the creation of the parents passes on.
bool CreateDirectoryPath(DirectoryCalls& calls, const char16_t* path, SECURITY_ATTRIBUTES* security,
                         std::uint32_t modes);

inline constexpr char16_t kCurrentWindowsVersionKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr char16_t kDefaultProgramFiles[] = u"C:\\Program Files";

// "ProgramFilesDir" of HKEY_LOCAL_MACHINE's current-version key, read with read access;
// kDefaultProgramFiles when it cannot be read.
std::u16string ProgramFilesFolder(RegistryApi& registry = LiveRegistryApi());

// The environment variable that marks a process whose TEMP and TMP were made usable:
// "Kpx_{A4597EF2-B2F1-4954-A2FF-A65C393439AF}_<process id in decimal>".
std::u16string TemporaryDirectoryMarker(std::uint32_t processId);

} // namespace tarn::paths
