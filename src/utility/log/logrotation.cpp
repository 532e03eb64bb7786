#include "utility/log/logrotation.h"

#include "utility/text/format.h"
#include "utility/text/strings.h"

namespace tarn::logrotation {

namespace {

constexpr std::size_t kPatternChars = 520;

} // namespace

FileNameParts SplitFileName(std::u16string_view fileName) {
    const std::size_t dot = fileName.rfind(u'.');
    if (dot == std::u16string_view::npos) {
        return {std::u16string(fileName), {}};
    }
    return {std::u16string(fileName.substr(0, dot)), std::u16string(fileName.substr(dot))};
}

std::u16string RotationPattern(std::u16string_view directory, const FileNameParts& name,
                               char16_t separator) {
    return FormatString(kPatternChars, u"%s%c%s*%s", directory, separator, name.base,
                        name.extension);
}

std::u16string ArchivePath(std::u16string_view directory, const FileNameParts& name,
                           std::uint32_t number, char16_t separator) {
    return FormatString(kPatternChars, u"%s%c%s%u%s", directory, separator, name.base, number,
                        name.extension);
}

RotationPlan PlanRotation(const std::vector<LogFileEntry>& examined, std::u16string_view directory,
                          std::u16string_view currentPath, std::uint32_t maxFiles,
                          char16_t separator) {
    RotationPlan plan;
    std::size_t count = 0;
    for (std::size_t i = 0; i < examined.size() && count < maxFiles; ++i, ++count) {
        const std::u16string path = std::u16string(directory) + separator + examined[i].name;
        if (EqualsAsciiNoCase(path, currentPath)) {
            continue;
        }
        if (!plan.deleteEntry || examined[i].lastWrite < examined[*plan.deleteEntry].lastWrite) {
            plan.deleteEntry = i;
        }
    }
    if (count < maxFiles) {
        plan.deleteEntry.reset();
        plan.archiveCurrent = true;
        return plan;
    }
    // Full: the oldest archive goes to make room; without one the current file just grows.
    plan.archiveCurrent = plan.deleteEntry.has_value();
    return plan;
}

} // namespace tarn::logrotation
