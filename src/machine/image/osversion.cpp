#include "machine/image/osversion.h"

#include "utility/text/strings.h"

#include <algorithm>

namespace tarn::image {

namespace {

constexpr char16_t kCurrentVersion[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char16_t kProductOptions[] = u"System\\CurrentControlSet\\Control\\ProductOptions";
constexpr char16_t kWindowsControl[] = u"System\\CurrentControlSet\\Control\\Windows";
constexpr WORD kSuiteSingleUserTerminalServer = 0x100;

struct SuiteName {
    std::u16string_view name;
    WORD bit;
};
constexpr SuiteName kSuites[] = {
    {u"Small Business", 0x1},
    {u"Enterprise", 0x2},
    {u"BackOffice", 0x4},
    {u"CommunicationServer", 0x8},
    {u"Terminal Server", 0x10},
    {u"Small Business(Restricted)", 0x20},
    {u"EmbeddedNT", 0x40},
    {u"DataCenter", 0x80},
    {u"Personal", 0x200},
    {u"Blade", 0x400},
    {u"Embedded(Restricted)", 0x800},
    {u"Security Appliance", 0x1000},
    {u"Storage Server", 0x2000},
    {u"Compute Server", 0x4000},
    {u"WH Server", 0x8000},
};

std::optional<std::u16string> Text(const ImageRegistry& registry, std::u16string_view key,
                                   std::u16string_view name) {
    const std::optional<RegistryValue> value =
        registry.MachineValue(key, name, RegistryView::Native);
    return value ? ValueText(*value) : std::nullopt;
}

std::optional<std::uint32_t> Number(const ImageRegistry& registry, std::u16string_view key,
                                    std::u16string_view name) {
    const std::optional<RegistryValue> value =
        registry.MachineValue(key, name, RegistryView::Native);
    return value ? ValueNumber(*value) : std::nullopt;
}

// "6.1" as major and minor version.
bool ReadVersionText(std::u16string_view text, OsVersionRecord& record) {
    const std::size_t dot = text.find(u'.');
    if (dot == std::u16string_view::npos) {
        return false;
    }
    record.majorVersion = static_cast<DWORD>(ParseInt32Saturating(text.substr(0, dot)));
    record.minorVersion = static_cast<DWORD>(ParseInt32Saturating(text.substr(dot + 1)));
    return true;
}

// The names of a REG_MULTI_SZ value.
std::vector<std::u16string> Names(const RegistryValue& value) {
    std::u16string all(value.bytes.size() / 2, u'\0');
    std::copy_n(value.bytes.begin(), all.size() * 2, reinterpret_cast<std::uint8_t*>(all.data()));
    std::vector<std::u16string> names;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = std::min(all.find(u'\0', at), all.size());
        if (end > at) {
            names.push_back(all.substr(at, end - at));
        }
        at = end + 1;
    }
    return names;
}

void ReadProduct(const ImageRegistry& registry, OsVersionRecord& record) {
    const std::optional<std::u16string> type = Text(registry, kProductOptions, u"ProductType");
    record.productType = !type                                   ? 0
                         : EqualsAsciiNoCase(*type, u"WinNT")    ? 1
                         : EqualsAsciiNoCase(*type, u"LanmanNT") ? 2
                         : EqualsAsciiNoCase(*type, u"ServerNT") ? 3
                                                                 : 0;
    record.suiteMask = record.productType == 1 ? kSuiteSingleUserTerminalServer : 0;
    const std::optional<RegistryValue> suites =
        registry.MachineValue(kProductOptions, u"ProductSuite", RegistryView::Native);
    for (const std::u16string& name : suites ? Names(*suites) : std::vector<std::u16string>()) {
        for (const SuiteName& suite : kSuites) {
            if (EqualsAsciiNoCase(name, suite.name)) {
                record.suiteMask = static_cast<WORD>(record.suiteMask | suite.bit);
            }
        }
    }
}

void ReadServicePack(const ImageRegistry& registry, OsVersionRecord& record) {
    const std::u16string text = Text(registry, kCurrentVersion, u"CSDVersion").value_or(u"");
    std::copy_n(text.begin(),
                std::min<std::size_t>(text.size(), std::size(record.servicePackText) - 1),
                record.servicePackText);
    const std::uint32_t pack = Number(registry, kWindowsControl, u"CSDVersion").value_or(0);
    record.servicePackMajor = static_cast<WORD>((pack >> 8) & 0xFF);
    record.servicePackMinor = static_cast<WORD>(pack & 0xFF);
}

// What Windows 8.1 and later tell a program that does not declare them.
void ApplyCompatibilityVersion(OsVersionRecord& record) {
    if (record.majorVersion > 6 || (record.majorVersion == 6 && record.minorVersion > 2)) {
        record.majorVersion = 6;
        record.minorVersion = 2;
        record.buildNumber = 9200;
    }
}

} // namespace

std::optional<OsVersionRecord> ReadOsVersion(const ImageRegistry& registry) {
    OsVersionRecord record;
    const std::optional<std::uint32_t> major =
        Number(registry, kCurrentVersion, u"CurrentMajorVersionNumber");
    if (major) {
        record.majorVersion = *major;
        record.minorVersion =
            Number(registry, kCurrentVersion, u"CurrentMinorVersionNumber").value_or(0);
    } else if (const std::optional<std::u16string> text =
                   Text(registry, kCurrentVersion, u"CurrentVersion");
               !text || !ReadVersionText(*text, record)) {
        return std::nullopt;
    }
    const std::optional<std::u16string> build =
        Text(registry, kCurrentVersion, u"CurrentBuildNumber");
    record.buildNumber = static_cast<DWORD>(ParseInt32Saturating(
        build ? *build : Text(registry, kCurrentVersion, u"CurrentBuild").value_or(u"0")));
    record.platformId = kPlatformNT;
    ReadServicePack(registry, record);
    ReadProduct(registry, record);
    ApplyCompatibilityVersion(record);
    return record;
}

} // namespace tarn::image
