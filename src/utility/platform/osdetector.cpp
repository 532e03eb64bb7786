#include "utility/platform/osdetector.h"

#include "utility/log/comerror.h"
#include "utility/log/report.h"
#include "utility/platform/registrykey.h"
#include "utility/text/format.h"
#include "utility/text/scan.h"
#include "utility/text/strings.h"

namespace tarn {

namespace {

struct GenerationRow {
    std::uint32_t major;
    std::uint32_t minor;
    bool server;
    std::uint32_t leastReleaseId; // 0: every release id
    std::int32_t generation;
};

// Ordered by release; the all-zero row ends the table.
constexpr GenerationRow kGenerationTable[] = {
    {5, 0, false, 0, 17},    {5, 0, true, 0, 17},  {5, 1, false, 0, 18},  {5, 2, false, 0, 18},
    {5, 2, true, 0, 19},     {6, 0, false, 0, 20}, {6, 0, true, 0, 21},   {6, 1, false, 0, 22},
    {6, 1, true, 0, 23},     {6, 2, false, 0, 24}, {6, 2, true, 0, 25},   {6, 3, false, 0, 26},
    {6, 3, true, 0, 27},     {6, 4, false, 0, 28}, {10, 0, false, 0, 28}, {10, 0, true, 1607, 29},
    {10, 0, true, 1809, 30}, {0, 0, false, 0, 0},
};

bool IsEndRow(const GenerationRow& row) noexcept {
    return row.major == 0 && row.minor == 0 && !row.server && row.leastReleaseId == 0 &&
           row.generation == 0;
}

std::optional<std::u16string> ReadString(RegistryKey& key, const char16_t* name) {
    std::u16string value;
    if (!key.IsOpen() || !key.QueryString(name, value)) {
        return std::nullopt;
    }
    return value;
}

std::u16string ValueOrEmpty(const std::optional<std::u16string>& value) {
    return value.value_or(std::u16string());
}

} // namespace

std::int32_t GenerationFor(std::uint32_t major, std::uint32_t minor, bool isServer,
                           std::uint32_t releaseId) noexcept {
    if (major < 5) {
        return 0;
    }
    std::int32_t candidate = 0;
    for (const GenerationRow& row : kGenerationTable) {
        if (IsEndRow(row)) {
            break;
        }
        if (row.server != isServer) {
            continue;
        }
        if (row.leastReleaseId == 0 || row.leastReleaseId <= releaseId) {
            candidate = row.generation;
        }
        if (row.major == major && row.minor == minor &&
            (row.leastReleaseId == 0 || row.leastReleaseId == releaseId)) {
            return candidate;
        }
    }
    return candidate;
}

std::optional<std::uint32_t> ParseReleaseId(std::u16string_view text) noexcept {
    return ScanUInt32(text, 4);
}

void ReadRegistryInputs(RegistryApi& registry, OSDetectorInputs& inputs) {
    RegistryKey currentVersion(registry);
    currentVersion.Open(HKEY_LOCAL_MACHINE, kCurrentVersionKey, KEY_READ);
    inputs.installationType = ReadString(currentVersion, u"InstallationType");
    inputs.releaseId = ReadString(currentVersion, u"ReleaseId");
    inputs.productName = ReadString(currentVersion, u"ProductName");
    inputs.registeredOrganization = ReadString(currentVersion, u"RegisteredOrganization");

    RegistryKey productOptions(registry);
    productOptions.Open(HKEY_LOCAL_MACHINE, kProductOptionsKey, KEY_READ);
    inputs.productOptionsType = ReadString(productOptions, u"ProductType");
}

OSDetectorInputs LiveOSDetectorInputs() {
    OSDetectorInputs inputs;
    inputs.extendedInformation = platform::QueryVersionRecord(inputs.version, true);
    if (!inputs.extendedInformation) {
        platform::QueryVersionRecord(inputs.version, false);
    }
    ReadRegistryInputs(LiveRegistryApi(), inputs);
    inputs.isWow64Process = platform::QueryWow64Process();
    inputs.process64Bit = platform::IsWindowsProcess64Bit();
    return inputs;
}

OSDetector::OSDetector() : OSDetector(LiveOSDetectorInputs()) {}

OSDetector::OSDetector(const OSDetectorInputs& inputs)
    : productName_(ValueOrEmpty(inputs.productName)),
      organization_(ValueOrEmpty(inputs.registeredOrganization)), versionInfo_(inputs.version),
      extendedInformation_(inputs.extendedInformation) {
    if (IsPlatformNT()) {
        DetectServer(inputs);
    }
    const std::uint32_t releaseId = ReadReleaseId(inputs);
    generation_ =
        GenerationFor(versionInfo_.majorVersion, versionInfo_.minorVersion, isServer_, releaseId);
    isWow64_ = inputs.isWow64Process.value_or(false);
    is64BitOS_ = inputs.process64Bit || isWow64_;
    ComposeVersion();
}

const OSDetector& OSDetector::Instance() {
    return OSDetectorSingleton::Instance();
}

void OSDetector::DetectServer(const OSDetectorInputs& inputs) {
    if (extendedInformation_) {
        isServer_ = versionInfo_.productType == kProductServer ||
                    versionInfo_.productType == kProductDomainController;
        if (isServer_ && inputs.installationType) {
            isServerCore_ = EqualsAsciiNoCase(*inputs.installationType, u"Server Core");
        }
    } else if (inputs.productOptionsType) {
        isServer_ = EqualsAsciiNoCase(*inputs.productOptionsType, u"SERVERNT") ||
                    EqualsAsciiNoCase(*inputs.productOptionsType, u"LANMANNT");
    }
}

std::uint32_t OSDetector::ReadReleaseId(const OSDetectorInputs& inputs) {
    if (!inputs.releaseId) {
        return 0;
    }
    releaseIdText_ = *inputs.releaseId;
    const std::optional<std::uint32_t> number = ParseReleaseId(releaseIdText_);
    if (!number) {
        CEReportEventFormat(CE_SEVERITY_WARNING, u"System",
                            u"Failed to convert Release ID version from input string: '%ls'.",
                            releaseIdText_);
        return 0;
    }
    return *number;
}

void OSDetector::ComposeVersion() {
    version_ = (static_cast<std::uint64_t>(versionInfo_.majorVersion & 0xFFFFu) << 48) |
               (static_cast<std::uint64_t>(versionInfo_.minorVersion & 0xFFFFu) << 32) |
               (static_cast<std::uint64_t>(versionInfo_.buildNumber & 0xFFFFu) << 16);
    versionText_ = FormatString(32, u"%d.%d", versionInfo_.majorVersion, versionInfo_.minorVersion);
    if (extendedInformation_ && versionInfo_.servicePackMajor != 0) {
        servicePackText_ = FormatString(32, u"Service Pack %d", versionInfo_.servicePackMajor);
    }
}

bool IsSupportedPlatform(const OsVersionRecord& version) noexcept {
    return version.platformId == kPlatformNT && version.majorVersion != 4;
}

void CheckPlatformAtLoad() {
    static const OsVersionRecord systemInformation = [] {
        OsVersionRecord record;
        platform::QueryVersionRecord(record, true);
        return record;
    }();
    if (!IsSupportedPlatform(systemInformation)) {
        RaiseComError(E_FAIL, u"Requires Windows 2000 or later");
    }
}

} // namespace tarn
