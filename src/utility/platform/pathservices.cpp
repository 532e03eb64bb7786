#include "utility/platform/pathservices.h"

#include "utility/log/report.h"
#include "utility/platform/pathtext.h"
#include "utility/platform/registrykey.h"
#include "utility/text/format.h"
#include "utility/text/strings.h"

namespace tarn::paths {

namespace {

constexpr DWORD kErrorCannotMake = 82; // ERROR_CANNOT_MAKE
constexpr std::size_t kMarkerChars = 64;

void CollapseBackslashRuns(std::u16string& path) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != u'\\' || kept == 0 || path[kept - 1] != u'\\') {
            path[kept++] = path[i];
        }
    }
    path.resize(kept);
}

} // namespace

std::u16string ExtendedLengthForm(std::u16string_view path, Canonicalizer canonicalize) {
    std::u16string form(path);
    if (path.size() < 3 || path[1] != u':' || path[2] != u'\\') {
        return form;
    }
    if (form.find(u".\\") != std::u16string::npos) {
        canonicalize(form);
    }
    if (form.find(u"\\\\") != std::u16string::npos) {
        CollapseBackslashRuns(form);
    }
    return u"\\\\?\\" + form;
}

bool CreateDirectoryPath(DirectoryCalls& calls, const char16_t* path, SECURITY_ATTRIBUTES* security,
                         std::uint32_t modes) {
    if (path == nullptr || *path == u'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const std::u16string_view text(path);
    const DWORD attributes = calls.Attributes(text);
    if (attributes != kNoFileAttributes) {
        const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        SetLastError(directory ? ERROR_ALREADY_EXISTS : kErrorCannotMake);
        return directory;
    }
    DWORD error = calls.MakeDirectory(text, security);
    if (error == ERROR_PATH_NOT_FOUND) {
        const std::u16string parent(ParentOf(text));
        // A root has no parent to create: ParentOf gives nothing for it.
        if (parent.empty() || EqualsAsciiNoCase(parent, text)) {
            SetLastError(error);
            return false;
        }
        if (!CreateDirectoryPath(calls, parent.c_str(), security, modes)) {
            return false;
        }
        error = calls.MakeDirectory(text, security);
    }
    if (error == ERROR_SUCCESS) {
        return true;
    }
    if (error == ERROR_ALREADY_EXISTS) { // created meanwhile
        SetLastError(error);
        return true;
    }
    CEReportEventError(CE_SEVERITY_WARNING | modes, u"CreateDirectoryPath", error,
                       u"Cannot create directory '%ls'", path);
    SetLastError(error);
    return false;
}

std::u16string ProgramFilesFolder(RegistryApi& registry) {
    RegistryKey key(registry);
    std::u16string folder;
    if (key.Open(HKEY_LOCAL_MACHINE, kCurrentWindowsVersionKey, KEY_READ) &&
        key.QueryString(u"ProgramFilesDir", folder)) {
        return folder;
    }
    return kDefaultProgramFiles;
}

std::u16string TemporaryDirectoryMarker(std::uint32_t processId) {
    return FormatString(kMarkerChars, u"Kpx_{A4597EF2-B2F1-4954-A2FF-A65C393439AF}_%lu", processId);
}

} // namespace tarn::paths
