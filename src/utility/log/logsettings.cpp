#include "utility/log/logsettings.h"

#include "utility/text/format.h"

#include <algorithm>

namespace tarn::logsettings {

namespace {

constexpr DWORD kFilePathChars = 520;
constexpr DWORD kFileNameChars = 260;
constexpr DWORD kHeaderChars = 2080;
constexpr std::int32_t kFirstGenerationWithProgramData = 20; // Windows Vista

std::uint32_t DwordOr(RegistryKey& key, const char16_t* name, std::uint32_t fallback) {
    DWORD value = 0;
    return key.IsOpen() && key.QueryStrictDword(name, value) ? value : fallback;
}

std::optional<std::u16string> TypedString(RegistryKey& key, const char16_t* name, DWORD capacity) {
    std::u16string text;
    DWORD count = 0;
    if (!key.IsOpen() || !key.QueryTypedString(name, capacity, text, count) || count == 0) {
        return std::nullopt;
    }
    return text;
}

} // namespace

Limits ReadLimits(RegistryKey& key) {
    const Limits defaults;
    return {DwordOr(key, u"Severity", defaults.severityMask) & 0xFFu,
            std::max<std::uint32_t>(DwordOr(key, u"MaxSize", defaults.maxSizeKB), 10),
            std::max<std::uint32_t>(DwordOr(key, u"MaxFiles", defaults.maxFiles), 2)};
}

std::u16string ConfiguredDirectory(const LocationInputs& inputs) {
    std::u16string directory;
    if (inputs.filePath) {
        directory = *inputs.filePath;
    } else {
        if (inputs.osGeneration >= kFirstGenerationWithProgramData &&
            !inputs.commonAppData.empty()) {
            directory = FormatString(kFilePathChars, u"%s\\Velmoric\\Velmoric Agent\\Logs",
                                     inputs.commonAppData);
        }
        if (directory.empty() && !inputs.programFiles.empty()) {
            directory = FormatString(kFilePathChars, u"%s\\Orvanta\\Orvanta Agent\\Logs",
                                     inputs.programFiles);
        }
    }
    if (directory.empty()) {
        directory = inputs.temporaryDirectory.empty() ? u"C:\\TEMP" : inputs.temporaryDirectory;
    }
    return directory;
}

std::u16string FinalDirectory(std::u16string expanded, bool lowIntegrity) {
    if (!expanded.empty() && (expanded.back() == u'\\' || expanded.back() == u'/')) {
        expanded.pop_back();
    }
    if (lowIntegrity) {
        expanded += u"\\Low";
    }
    return expanded;
}

std::optional<std::u16string> ReadFilePath(RegistryKey& key) {
    return TypedString(key, u"FilePath", kFilePathChars);
}

std::u16string ReadFileName(RegistryKey& key) {
    std::optional<std::u16string> name = TypedString(key, u"FileName", kFileNameChars);
    return name ? std::move(*name) : std::u16string(kDefaultFileName);
}

std::optional<std::u16string> ReadHeaderText(RegistryApi& api) {
    RegistryKey key(api);
    if (!key.Open(HKEY_LOCAL_MACHINE, kHeaderKey, KEY_READ)) {
        return std::nullopt;
    }
    return TypedString(key, u"LogFileHeader", kHeaderChars);
}

} // namespace tarn::logsettings
