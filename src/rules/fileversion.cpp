// SRFileVersion: a file exists, and its version stands in the requested relation to the rule's.
#include "rules/attributes.h"
#include "rules/files.h"
#include "rules/folders.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/leaves.h"
#include "rules/versions.h"
#include "utility/log/report.h"
#include "utility/text/strings.h"

#include <cstring>

namespace tarn::rules {

namespace {

constexpr char16_t kSource[] = u"KpxTarnRuleProviderInterface";

// The fixed record's file version, or nothing when the resource has no fixed record.
std::optional<PackedVersion> FixedFileVersion(Machine& machine, const FileVersionInfo& info) {
    if (info.data() == nullptr) {
        return std::nullopt;
    }
    const VersionValueAnswer fixed = machine.QueryVersionValue(*info.data(), u"\\");
    // VS_FIXEDFILEINFO: signature, structure version, then the file version's two words.
    constexpr std::size_t kFileVersionAt = 8;
    if (!fixed.found || fixed.bytes.size() < kFileVersionAt + 8) {
        return std::nullopt;
    }
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
    std::memcpy(&ms, fixed.bytes.data() + kFileVersionAt, sizeof ms);
    std::memcpy(&ls, fixed.bytes.data() + kFileVersionAt + 4, sizeof ls);
    return (PackedVersion{ms} << 32) | ls;
}

// The path of the rule: the folder joined first, then the placeholders expanded.
std::u16string RulePath(Machine& machine, const std::u16string& path, std::int32_t csidl) {
    const std::u16string folder = GetSystemFolderPath(machine, csidl);
    return KpxExpandEnvironmentStrings(machine,
                                       folder.empty() ? path : CombineFolderAndPath(folder, path));
}

// Whether the file is there, literally or as the first match of its wildcard component.
bool FindFile(Machine& machine, const xml::Node& element, std::u16string& path) {
    if (machine.PathExists(path)) {
        return true;
    }
    if (!ResolveWildcardPath(machine, path)) {
        CEReportEventFormat(CE_SEVERITY_INFO, kSource,
                            u"File existence check failed.  Local file not found!\nRule "
                            u"expression: %s",
                            element.Xml());
        return false;
    }
    CEReportEventFormat(CE_SEVERITY_TRACE, kSource,
                        u"File existence wildcard check succeeded. File found: %s", path);
    return true;
}

} // namespace

Status EvaluateFileVersion(RuleProvider& provider, const xml::Node& element) {
    if (IsSwitchedOff(element, u"Selected")) {
        return kHolds;
    }
    VersionCondition condition;
    const bool versioned = ReadVersionCondition(element, condition);
    const std::u16string rulePath = RequiredAttribute(
        element, u"Path", u"Expression fileVersion has no filePath 'Path' attribute");
    const std::int32_t csidl = ParseInt32Saturating(
        RequiredAttribute(element, u"Csidl", u"Expression fileVersion has no 'Csidl' attribute"));
    Machine& machine = provider.machine();
    std::u16string path = RulePath(machine, rulePath, csidl);
    if (!FindFile(machine, element, path)) {
        return kDoesNotHold;
    }
    if (!versioned) {
        return kHolds;
    }
    FileVersionInfo info;
    if (FAILED(info.Load(machine, path))) {
        CEReportEventFormat(CE_SEVERITY_WARNING, kSource,
                            u"File version comparison failed.  Can't get file version "
                            u"information!\nRule expression: %s",
                            element.Xml());
        return kDoesNotHold;
    }
    const std::optional<PackedVersion> version = FixedFileVersion(machine, info);
    if (!version) {
        CEReportEventFormat(CE_SEVERITY_WARNING, kSource,
                            u"File version comparison failed.  Local file contains no version "
                            u"information!\nRule expression: %s",
                            element.Xml());
        return kDoesNotHold;
    }
    return CompareVersions(*version, condition.reference, condition.comparison, condition.lower);
}

} // namespace tarn::rules
