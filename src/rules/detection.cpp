#include "rules/detection.h"

#include "rules/attributes.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"
#include "utility/log/report.h"
#include "utility/text/strings.h"

#include <algorithm>
#include <optional>
#include <string>

namespace tarn::rules {

namespace {

constexpr char16_t kOsSource[] = u"EvaluateExpressionNode_os";
constexpr char16_t kProductOptionsKey[] = u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr char16_t kQ246009Key[] =
    u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
constexpr std::size_t kValueBufferBytes = 256;
constexpr std::u16string_view kServicePack = u"Service Pack ";

// The first string of a string value that fits the 256-byte buffer it is read into.
std::optional<std::u16string> SmallString(Machine& machine, const char16_t* name) {
    const RegistryValueAnswer value = machine.ReadLocalMachineValue(kProductOptionsKey, name);
    if (value.status != ERROR_SUCCESS || value.bytes.size() >= kValueBufferBytes) {
        return std::nullopt;
    }
    std::u16string text(value.bytes.size() / 2, u'\0');
    std::copy_n(value.bytes.begin(), text.size() * 2, reinterpret_cast<std::uint8_t*>(text.data()));
    text.resize(std::find(text.begin(), text.end(), u'\0') - text.begin());
    return text;
}

void ReadServicePack(Machine& machine, const OsVersionRecord& basic, OSInfo& info) {
    const std::u16string_view text(
        basic.servicePackText,
        std::find(std::begin(basic.servicePackText), std::end(basic.servicePackText), u'\0') -
            std::begin(basic.servicePackText));
    if (!EqualsAsciiNoCase(text.substr(0, kServicePack.size()), kServicePack)) {
        return;
    }
    info.servicePackMajor =
        static_cast<std::uint16_t>(ParseInt32Saturating(text.substr(kServicePack.size())));
    info.servicePackMinor = 0;
    if (info.majorVersion == 4 && EqualsAsciiNoCase(text, u"Service Pack 6") &&
        machine.LocalMachineKeyExists(kQ246009Key)) {
        info.servicePackMinor = 1;
    }
}

void ReadProductOptions(Machine& machine, OSInfo& info) {
    if (const std::optional<std::u16string> type = SmallString(machine, u"ProductType")) {
        info.productType = EqualsAsciiNoCase(*type, u"WINNT")      ? 1
                           : EqualsAsciiNoCase(*type, u"LANMANNT") ? 2
                           : EqualsAsciiNoCase(*type, u"SERVERNT") ? 3
                                                                   : 0;
    }
    if (const std::optional<std::u16string> suite = SmallString(machine, u"ProductSuite")) {
        if (EqualsAsciiNoCase(*suite, u"Terminal Server")) {
            info.suiteMask = 16;
        } else if (EqualsAsciiNoCase(*suite, u"Enterprise")) {
            info.suiteMask = 2;
        }
    }
}

// An attribute's text, or nothing when it is absent or empty: such attributes are not tested.
std::optional<std::u16string> Tested(const xml::Node& element, std::u16string_view name) {
    std::optional<std::u16string> text = AttributeText(element, name);
    return text && !text->empty() ? text : std::nullopt;
}

Status ReportFalse(const char16_t* format, const std::u16string& text) {
    CEReportEventFormat(CE_SEVERITY_TRACE, kOsSource, format, text);
    return kDoesNotHold;
}

Status EvaluateArchitecture(Machine& machine, const std::u16string& arch) {
    if (EqualsAsciiNoCase(arch, u"x86")) {
        return machine.Is64BitOS() ? ReportFalse(u"Return false for arch x86", arch) : kHolds;
    }
    if (EqualsAsciiNoCase(arch, u"x64")) {
        return machine.Is64BitOS() ? kHolds : ReportFalse(u"Return false for arch x64", arch);
    }
    return ReportFalse(u"Return false for unrecognized arch %s", arch);
}

// Whether a version text, read as the C runtime reads a decimal number, differs from `actual`.
bool Differs(const std::optional<std::u16string>& text, std::uint32_t actual) {
    return text && static_cast<std::uint32_t>(ParseInt32Saturating(*text)) != actual;
}

Status EvaluateOs(Machine& machine, const xml::Node& element) {
    const std::u16string platform =
        RequiredAttribute(element, u"platform", u"Expression 'os' has no 'platform' attribute");
    if (!EqualsAsciiNoCase(platform, u"Windows")) {
        return ReportFalse(u"Return false for OS %s", platform);
    }
    if (const std::optional<std::u16string> arch = Tested(element, u"arch")) {
        if (const Status status = EvaluateArchitecture(machine, *arch); status != kHolds) {
            return status;
        }
    }
    const std::optional<std::u16string> major = Tested(element, u"major_version");
    const std::optional<std::u16string> minor = Tested(element, u"minor_version");
    if (!major && !minor) {
        return kHolds;
    }
    OSInfo info;
    if (getOSInfo(machine, info) != 0) {
        CEReportEvent(CE_SEVERITY_TRACE, kOsSource, u"Failed to call getOSInfo");
        return kDoesNotHold;
    }
    const auto reportVersion = [&](const char16_t* format, const std::u16string& text) {
        CEReportEventFormat(CE_SEVERITY_TRACE, kOsSource, format, text, info.majorVersion,
                            info.minorVersion);
        return kDoesNotHold;
    };
    if (Differs(major, info.majorVersion)) {
        return reportVersion(u"Return false for major_version %s while actual version is %lu.%lu",
                             *major);
    }
    if (Differs(minor, info.minorVersion)) {
        return reportVersion(u"Return false for minor_version %s while actual version is %lu.%lu",
                             *minor);
    }
    return kHolds;
}

Status EvaluateDetectionExpression(Machine& machine, const xml::Node& expression) {
    const xml::Node child = expression.FirstChild();
    if (!child) {
        CEReportEvent(CE_SEVERITY_TRACE, u"EvaluateExpressionNode", u"No child node");
        return kDoesNotHold;
    }
    const std::u16string name = child.Name();
    if (name.empty()) {
        RaiseComError(E_FAIL, u"Empty expression node name");
    }
    if (EqualsAsciiNoCase(name, u"os")) {
        return EvaluateOs(machine, child);
    }
    if (EqualsAsciiNoCase(name, u"swc")) {
        return kDoesNotHold;
    }
    RaiseComErrorFormat(E_FAIL, u"Unknown expression type: '%ws'", name);
}

} // namespace

int getOSInfo(Machine& machine, OSInfo& info) {
    OsVersionRecord record;
    if (machine.GetVersionRecord(kVersionRecordExtendedSize, record)) {
        info = {record.suiteMask,        record.majorVersion,     record.minorVersion,
                record.servicePackMajor, record.servicePackMinor, record.productType,
                record.buildNumber};
        return 0;
    }
    record = OsVersionRecord{};
    if (!machine.GetVersionRecord(kVersionRecordBasicSize, record)) {
        return 1;
    }
    info.majorVersion = record.majorVersion;
    info.minorVersion = record.minorVersion;
    ReadServicePack(machine, record, info);
    ReadProductOptions(machine, info);
    return 0;
}

Status EvaluateDetectionDocument(Machine& machine, std::u16string_view ruleXml) {
    const std::unique_ptr<xml::Document> document =
        LoadRuleDocument(ruleXml, u"Failed to load rule into XMLDOM. Error '%s'.");
    const xml::Node expression =
        document->DocumentElement().SelectSingleNode(u"//detection/expression");
    if (!expression) {
        RaiseComErrorWithCode(E_FAIL, E_FAIL, u"No '//detection/expression' node found");
    }
    return EvaluateDetectionExpression(machine, expression);
}

} // namespace tarn::rules
