// The names and decisions of log rotation, apart from the file system: the pattern that finds
// the log file and its archives, the archive names, and which file goes when the log is full.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::logrotation {

// The file name split at its last dot: "Agent" and ".log".
struct FileNameParts {
    std::u16string base;
    std::u16string extension; // from the last dot on; empty without one
};
FileNameParts SplitFileName(std::u16string_view fileName);

// "<directory>\<base>*<extension>": the log file and every archive of it. Paths are joined with
// `separator`, the platform's.
std::u16string RotationPattern(std::u16string_view directory, const FileNameParts& name,
                               char16_t separator = u'\\');
// "<directory>\<base><n><extension>".
std::u16string ArchivePath(std::u16string_view directory, const FileNameParts& name,
                           std::uint32_t number, char16_t separator = u'\\');

// One directory entry matching the pattern, as the search returned it.
struct LogFileEntry {
    std::u16string name;     // the entry's own name
    std::uint64_t lastWrite; // comparable times, earlier is smaller
};

struct RotationPlan {
    // The entry to delete first (an index into the examined entries), if any.
    std::optional<std::size_t> deleteEntry;
    // Whether the current file is then renamed to an archive name; when not, the record goes
    // into the current, oversized file.
    bool archiveCurrent = false;
};

// Decides the rotation from the entries examined (at most maxFiles of them, in search order):
// the oldest entry other than the current file goes when the count has reached maxFiles.
RotationPlan PlanRotation(const std::vector<LogFileEntry>& examined, std::u16string_view directory,
                          std::u16string_view currentPath, std::uint32_t maxFiles,
                          char16_t separator = u'\\');

} // namespace tarn::logrotation
