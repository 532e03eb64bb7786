// The record of the running Windows that other services branch on: release generation,
// server and Server Core, 64-bit and WOW64. Built once from plain inputs, so that the live
// machine and an offline Windows image make their records the same way; immutable after.
#pragma once

#include "utility/log/singleton.h"
#include "utility/platform/registryapi.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarn {

// The platform's extended version record (OSVERSIONINFOEXW), field for field.
struct OsVersionRecord {
    DWORD size = 0;
    DWORD majorVersion = 0;
    DWORD minorVersion = 0;
    DWORD buildNumber = 0;
    DWORD platformId = 0;
    char16_t servicePackText[128] = {};
    WORD servicePackMajor = 0;
    WORD servicePackMinor = 0;
    WORD suiteMask = 0;
    BYTE productType = 0;
    BYTE reserved = 0;
};

inline constexpr DWORD kVersionRecordExtendedSize = 284;
inline constexpr DWORD kVersionRecordBasicSize = 276;
inline constexpr DWORD kPlatformNT = 2; // VER_PLATFORM_WIN32_NT
inline constexpr BYTE kProductDomainController = 2;
inline constexpr BYTE kProductServer = 3;

// What an OSDetector is made from. A registry value that could not be read is absent.
struct OSDetectorInputs {
    OsVersionRecord version; // zeroed when even the basic version query failed
    bool extendedInformation = false;
    std::optional<std::u16string> installationType; // current-version key
    std::optional<std::u16string> releaseId;
    std::optional<std::u16string> productName;
    std::optional<std::u16string> registeredOrganization;
    std::optional<std::u16string> productOptionsType; // "ProductType" of ProductOptions
    std::optional<bool> isWow64Process;               // absent when IsWow64Process is not exported
    // The process is a 64-bit one, which only a 64-bit Windows runs. The 32-bit build learns
    // the system's width from the WOW64 answer; the x86_64 build knows it.
    bool process64Bit = false;
};

inline constexpr char16_t kCurrentVersionKey[] = u"SOFTWARE\\MICROSOFT\\Windows NT\\CurrentVersion";
inline constexpr char16_t kProductOptionsKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

// The registry values of the inputs, read through `registry` with read access.
void ReadRegistryInputs(RegistryApi& registry, OSDetectorInputs& inputs);
// The inputs of the machine this process runs on.
OSDetectorInputs LiveOSDetectorInputs();

// The release generation of a version from the generation table; 0 below major version 5.
std::int32_t GenerationFor(std::uint32_t major, std::uint32_t minor, bool isServer,
                           std::uint32_t releaseId) noexcept;
// The release id number as "%4u" reads it; nothing when no number is read.
std::optional<std::uint32_t> ParseReleaseId(std::u16string_view text) noexcept;

class OSDetector {
public:
    // From the live machine; the process-wide record is `OSDetector::Instance()`.
    OSDetector();
    explicit OSDetector(const OSDetectorInputs& inputs);
    OSDetector(const OSDetector&) = default;
    OSDetector& operator=(const OSDetector&) = default;
    virtual ~OSDetector() = default;

    static const OSDetector& Instance();

    std::int32_t OSGeneration() const noexcept { return generation_; }
    bool isServer() const noexcept { return isServer_; }
    bool isServerCore() const noexcept { return isServerCore_; }
    bool is64BitOS() const noexcept { return is64BitOS_; }
    bool isWow64() const noexcept { return isWow64_; }
    bool IsPlatformNT() const noexcept { return versionInfo_.platformId == kPlatformNT; }
    DWORD MajorVersion() const noexcept { return versionInfo_.majorVersion; }
    // Major in bits 63-48, minor in 47-32, build in 31-16.
    std::uint64_t Version() const noexcept { return version_; }
    const std::u16string& ProductName() const noexcept { return productName_; }
    const std::u16string& RegisteredOrganization() const noexcept { return organization_; }
    const std::u16string& VersionText() const noexcept { return versionText_; }
    const std::u16string& ServicePackText() const noexcept { return servicePackText_; }
    const std::u16string& ReleaseIdText() const noexcept { return releaseIdText_; }
    const OsVersionRecord& VersionInfo() const noexcept { return versionInfo_; }
    bool HasExtendedInformation() const noexcept { return extendedInformation_; }

private:
    void DetectServer(const OSDetectorInputs& inputs);
    std::uint32_t ReadReleaseId(const OSDetectorInputs& inputs);
    void ComposeVersion();

    std::int32_t generation_ = 0;
    std::uint64_t version_ = 0;
    std::u16string productName_;
    std::u16string organization_;
    std::u16string versionText_;
    std::u16string servicePackText_;
    std::u16string releaseIdText_;
    bool isServer_ = false;
    bool is64BitOS_ = false;
    bool isWow64_ = false;
    bool isServerCore_ = false;
    OsVersionRecord versionInfo_;
    bool extendedInformation_ = false;
};

using OSDetectorSingleton = Utility::SingletonT<OSDetector, 4095>;

// Whether a version record names a platform this component supports: NT, not version 4.
bool IsSupportedPlatform(const OsVersionRecord& version) noexcept;
// The load-time check: raises 0x80004005 "Requires Windows 2000 or later" through
// RaiseComError when the running platform is not supported.
void CheckPlatformAtLoad();

namespace platform {
// GetVersionExW into a record of the extended or the basic size; false when it fails.
bool QueryVersionRecord(OsVersionRecord& record, bool extended) noexcept;
// IsWow64Process for this process, looked up in kernel32.dll at run time.
std::optional<bool> QueryWow64Process() noexcept;
// This process is a 64-bit Windows process (false where there is no Windows).
bool IsWindowsProcess64Bit() noexcept;
} // namespace platform

} // namespace tarn
