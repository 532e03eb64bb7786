#include "rules/folders.h"

#include "utility/log/report.h"

namespace tarn::rules {

namespace {

constexpr std::int32_t kNoFolder = 255;
constexpr std::int32_t kProgramFiles = 38;
constexpr std::int32_t kProgramFilesX86 = 42;
constexpr std::int32_t kProgramFilesCommon = 43;
constexpr std::int32_t kProgramFilesCommonX86 = 44;
constexpr std::size_t kPathCharacters = 260; // MAX_PATH, terminator included

// Token failures are reported under the rule evaluation's own source file.
constexpr const char* kEvaluationSource = "kpxtarnruleproviderinterface.cpp";

// The 64-bit folder that a 32-bit process under WOW64 cannot ask the shell for, from the
// variable Windows sets for it; empty for other folders or when it does not fit.
std::u16string NativeProgramFolder(Machine& machine, std::int32_t csidl) {
    const char16_t* variable = csidl == kProgramFiles         ? u"%ProgramW6432%"
                               : csidl == kProgramFilesCommon ? u"%CommonProgramW6432%"
                                                              : nullptr;
    if (variable == nullptr) {
        return {};
    }
    ProcessExpansion expansion = machine.ExpandForProcess(variable);
    return expansion.needed > 0 && expansion.needed <= kPathCharacters ? std::move(expansion.text)
                                                                       : std::u16string();
}

} // namespace

std::u16string GetSystemFolderPath(Machine& machine, std::int32_t csidl) {
    if (csidl == kNoFolder) {
        return {};
    }
    const bool component64 = machine.Is64BitComponent();
    const bool os64 = machine.Is64BitOS();
    if (!component64 && !os64) {
        csidl = csidl == kProgramFilesX86         ? kProgramFiles
                : csidl == kProgramFilesCommonX86 ? kProgramFilesCommon
                                                  : csidl;
    }
    if (!component64 && os64) {
        CEReportEvent(CE_SEVERITY_TRACE, u"GetSystemFolderPath",
                      u"64bit machine and 32bit process detected");
        if (std::u16string folder = NativeProgramFolder(machine, csidl); !folder.empty()) {
            return folder;
        }
    }
    const ThreadTokenAnswer thread = machine.OpenThreadToken();
    if (!thread.token && thread.error != ERROR_NO_TOKEN) {
        CEReportEventAt(CE_SEVERITY_WARNING, kEvaluationSource, __LINE__,
                        u"GetSystemFolderPath: Failed to impersonate logged on user.  Ensure "
                        u"that a user is logged on through the local console.  Continuing using "
                        u"system account. GetLastError() = %lu",
                        thread.error);
    }
    FolderAnswer folder = machine.ShellFolderPath(csidl, thread.token.get());
    return SUCCEEDED(folder.hr) ? std::move(folder.path) : std::u16string();
}

std::u16string CombineFolderAndPath(std::u16string_view folder, std::u16string_view path) {
    std::u16string joined(folder);
    if (!joined.empty() && joined.back() != u'\\') {
        joined += u'\\';
    }
    joined += path;
    return joined;
}

std::u16string KpxExpandEnvironmentStrings(Machine& machine, std::u16string_view text) noexcept {
    try {
        if (const ThreadTokenAnswer thread = machine.OpenThreadToken(); thread.token) {
            std::optional<std::u16string> expanded = machine.ExpandForUser(*thread.token, text);
            return expanded ? std::move(*expanded) : std::u16string(text);
        }
        ProcessExpansion expansion = machine.ExpandForProcess(text);
        if (expansion.needed == 0) {
            CEReportEventFormat(CE_SEVERITY_TRACE, u"BstrAddons",
                                u"KpxExpandEnvironmentStrings error: %d", expansion.error);
            return std::u16string(text);
        }
        return std::move(expansion.text);
    } catch (...) {
        CEReportEvent(CE_SEVERITY_TRACE, u"BstrAddons",
                      u"KpxExpandEnvironmentStrings Unknown exception");
        return {};
    }
}

} // namespace tarn::rules
