#include "utility/platform/tempdirectory.h"

#include "utility/platform/localmemory.h"
#include "utility/platform/longpath.h"
#include "utility/platform/pathservices.h"
#include "utility/platform/pathtext.h"
#include "utility/platform/wintypes.h"
#include "utility/text/format.h"

#include <sddl.h>
#include <shlobj.h>

#include <optional>

namespace tarn::paths {

namespace {

constexpr DWORD kTempPathChars = 520;
constexpr DWORD kMarkerValueChars = 20;
constexpr std::size_t kMarkerFileChars = 520;
constexpr char16_t kMarkerValue[] = u"OK";
// Local system and administrators: full access; users: traverse, add file, add subfolder.
// Inherited by what is created inside; protected from the parent's entries.
constexpr wchar_t kDirectorySecurity[] =
    L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x100026;;;BU)";

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool MarkerIsSet(const std::u16string& marker) {
    wchar_t value[kMarkerValueChars] = {};
    const DWORD length = GetEnvironmentVariableW(Wide(marker), value, kMarkerValueChars);
    return length > 0 && length < kMarkerValueChars &&
           std::u16string_view(U16(value)) == kMarkerValue;
}

std::optional<std::u16string> PlatformTempPath() {
    wchar_t path[kTempPathChars] = {};
    const DWORD length = GetTempPathW(kTempPathChars, path);
    if (length == 0 || length >= kTempPathChars) {
        return std::nullopt;
    }
    std::u16string directory(U16(path), length);
    StripTrailingSeparator(directory);
    return directory;
}

std::optional<std::u16string> CommonAppDataTemp() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::nullopt;
    }
    return std::u16string(U16(folder)) + u"\\Velmoric\\Velmoric Agent\\Temp";
}

std::optional<std::u16string> ExecutableDirectoryTemp() {
    wchar_t path[kTempPathChars] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kTempPathChars);
    if (length == 0 || length >= kTempPathChars) {
        return std::nullopt;
    }
    std::u16string directory(U16(path), length);
    const std::size_t slash = directory.rfind(u'\\');
    if (slash == std::u16string::npos) {
        return std::nullopt;
    }
    directory.resize(slash);
    return directory + u"\\Temp";
}

// Makes `directory` when it is missing and opens the marker file in it. The handle is never
// closed: the file goes when the process ends.
bool TryCandidate(const std::u16string& directory, const std::u16string& marker,
                  SECURITY_ATTRIBUTES* security) {
    if (!DirectoryExists(directory)) {
        // A failure here shows in the open below.
        CreateDirectoryPath(directory.c_str(), security, false);
    }
    const std::u16string file = FormatString(kMarkerFileChars, u"%s\\%s.tmp", directory, marker);
    const HANDLE handle =
        CreateFileW(Wide(file), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    SetEnvironmentVariableW(L"TEMP", Wide(directory));
    SetEnvironmentVariableW(L"TMP", Wide(directory));
    SetEnvironmentVariableW(Wide(marker), L"OK");
    return true;
}

} // namespace

void PrepareTemporaryDirectory() noexcept {
    const DWORD lastError = GetLastError();
    try {
        const std::u16string marker = TemporaryDirectoryMarker(GetCurrentProcessId());
        if (!MarkerIsSet(marker)) {
            LocalMemory descriptor;
            SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
            if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
                    kDirectorySecurity, SDDL_REVISION_1, descriptor.Out<void>(), nullptr)) {
                attributes.lpSecurityDescriptor = descriptor.Get();
            }
            using Candidate = std::optional<std::u16string> (*)();
            for (const Candidate candidate :
                 {&PlatformTempPath, &CommonAppDataTemp, &ExecutableDirectoryTemp}) {
                const std::optional<std::u16string> directory = candidate();
                if (directory && TryCandidate(*directory, marker, &attributes)) {
                    break;
                }
            }
        }
    } catch (...) {
        // Out of memory: TEMP and TMP stay as they were.
    }
    SetLastError(lastError);
}

} // namespace tarn::paths
