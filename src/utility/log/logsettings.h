// Where the shared log goes and how it is limited: the registry settings with their defaults
// and bounds, and the choice of the log directory and file name. Decided from plain inputs, so
// that every platform and the tests choose alike.
#pragma once

#include "utility/platform/registrykey.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarn::logsettings {

// Under HKEY_LOCAL_MACHINE, read only.
inline constexpr char16_t kSettingsKey[] =
    u"Software\\Orvanta\\Orvanta Agent\\Event Logging\\logfile";
inline constexpr char16_t kHeaderKey[] = u"Software\\Orvanta\\Orvanta Agent\\Dynamic Data";
inline constexpr char16_t kDefaultFileName[] = u"Agent.log";
inline constexpr std::uint32_t kRefreshMs = 60000;

struct Limits {
    std::uint32_t severityMask = 7; // error, warning, information
    std::uint32_t maxSizeKB = 100;
    std::uint32_t maxFiles = 20;
};

// "Severity" (low 8 bits), "MaxSize" (at least 10) and "MaxFiles" (at least 2) from the open
// settings key; a value that is missing or not a REG_DWORD keeps its default. A key that is not
// open gives the defaults.
Limits ReadLimits(RegistryKey& key);

// What the directory is chosen from.
struct LocationInputs {
    std::optional<std::u16string> filePath; // "FilePath" as read, when it counts
    std::int32_t osGeneration = 0;
    std::u16string commonAppData; // empty when not found
    std::u16string programFiles;  // without a trailing separator; may be empty
    std::u16string temporaryDirectory;
    bool lowIntegrity = false;
};

// The log directory, before environment expansion: the configured path, else the agent's
// folder under common application data (Windows Vista and later) or under Program Files, else
// the temporary directory, else "C:\TEMP".
std::u16string ConfiguredDirectory(const LocationInputs& inputs);
// The chosen directory made final: `expanded` (the expansion when it succeeded) without one
// trailing separator, with "\Low" for a process of low integrity.
std::u16string FinalDirectory(std::u16string expanded, bool lowIntegrity);

// "FilePath" (520 characters) when it reads as a string with at least its terminator.
std::optional<std::u16string> ReadFilePath(RegistryKey& key);
// "FileName" as read, else "Agent.log".
std::u16string ReadFileName(RegistryKey& key);
// "LogFileHeader" of the header key (2080 characters), when it holds data.
std::optional<std::u16string> ReadHeaderText(RegistryApi& api = LiveRegistryApi());

} // namespace tarn::logsettings
