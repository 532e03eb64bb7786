// Ready-made security for objects that the agent's processes share: eleven security-attribute
// records from SDDL texts, then three integrity-level SIDs. Built once per process (destroyed
// at unload with priority 255), read without locks afterwards. A conversion that fails leaves
// its slot null; an object created with a record whose descriptor is null gets the platform's
// default security. Off Windows nothing converts: every slot is null.
#pragma once

#include "utility/log/singleton.h"
#include "utility/platform/registryapi.h"
#include "utility/platform/wintypes.h"

#include <cstddef>

namespace tarn {

inline constexpr std::size_t kSecurityPresetCount = 11;
inline constexpr std::size_t kPresetSidCount = 3;

// 0x101FFFFF: generic-all with every standard and specific right; 0x0013FFFF: every specific
// right with delete, read-permissions and synchronize; 0x80020000: generic-read with
// read-permissions.
inline constexpr const char16_t* kSecurityPresetSddl[kSecurityPresetCount] = {
    // 0: owner local system; full access for administrators and local system.
    u"O:SYD:P(A;;0x101FFFFF;;;BA)(A;;0x101FFFFF;;;SY)",
    // 1: owner local system; full access for local system only.
    u"O:SYD:P(A;;0x101FFFFF;;;SY)",
    // 2: owner administrators; full access for everyone.
    u"O:BAD:P(A;;0x101FFFFF;;;WD)",
    // 3: no owner; full access for administrators and local system.
    u"D:P(A;;0x101FFFFF;;;BA)(A;;0x101FFFFF;;;SY)",
    // 4: as 0, inherited by files and subfolders.
    u"O:SYD:P(A;OICI;0x101FFFFF;;;BA)(A;OICI;0x101FFFFF;;;SY)",
    // 5: owner administrators; inherited full access for administrators and local system,
    // inherited modify access for users and power users.
    u"O:BAD:P(A;OICI;0x101FFFFF;;;BA)(A;OICI;0x101FFFFF;;;SY)(A;OICI;0x0013FFFF;;;BU)"
    u"(A;OICI;0x0013FFFF;;;PU)",
    // 6: owner local system; read for everyone.
    u"O:SYD:P(A;;0x80020000;;;WD)",
    // 7: owner local system; full access for everyone.
    u"O:SYD:P(A;;0x101FFFFF;;;WD)",
    // 8: as 5 with owner local system, not protected, and a low label forbidding write-up.
    u"O:SYD:(A;OICI;0x101FFFFF;;;BA)(A;OICI;0x101FFFFF;;;SY)(A;OICI;0x0013FFFF;;;BU)"
    u"(A;OICI;0x0013FFFF;;;PU)S:(ML;;NW;;;LW)",
    // 9: only a low label forbidding write-up.
    u"S:(ML;;NW;;;LW)",
    // 10: as 8 without the label.
    u"O:SYD:(A;OICI;0x101FFFFF;;;BA)(A;OICI;0x101FFFFF;;;SY)(A;OICI;0x0013FFFF;;;BU)"
    u"(A;OICI;0x0013FFFF;;;PU)",
};
inline constexpr std::size_t kEveryoneFullAccessPreset = 2;

// Low, medium and high integrity level.
inline constexpr const char16_t* kPresetSidText[kPresetSidCount] = {
    u"S-1-16-4096",
    u"S-1-16-8192",
    u"S-1-16-12288",
};

// The conversions the table is made with; what they return is released with `free`. Plain
// functions, so that the table can be released at unload whatever else is gone by then.
struct SecurityConversions {
    // A self-relative descriptor from SDDL (revision 1); null when the text does not convert.
    void* (*descriptor)(const char16_t* sddl) noexcept;
    // A SID from its string form; null when the text does not convert.
    void* (*sid)(const char16_t* text) noexcept;
    void (*free)(void* converted) noexcept;
};

// LocalAlloc-based conversions of the running Windows; elsewhere every conversion fails.
SecurityConversions LiveSecurityConversions() noexcept;

class SecurityPresets {
public:
    // The process-wide table, built on first use.
    static SecurityPresets& Instance();

    SecurityPresets() noexcept : SecurityPresets(LiveSecurityConversions()) {}
    explicit SecurityPresets(SecurityConversions conversions) noexcept;
    ~SecurityPresets();
    SecurityPresets(const SecurityPresets&) = delete;
    SecurityPresets& operator=(const SecurityPresets&) = delete;

    // Non-const: the platform's creation calls take the record so.
    SECURITY_ATTRIBUTES* Record(std::size_t index) noexcept { return &records_[index]; }
    void* Sid(std::size_t index) const noexcept { return sids_[index]; }
    // The record that lets every process share an object (the log's change counter).
    SECURITY_ATTRIBUTES* EveryoneFullAccess() noexcept { return Record(kEveryoneFullAccessPreset); }

private:
    SECURITY_ATTRIBUTES records_[kSecurityPresetCount];
    void* sids_[kPresetSidCount];
    SecurityConversions conversions_;
};

using SecurityPresetsSingleton = Utility::SingletonT<SecurityPresets, 255>;

// SecurityPresets::Instance().EveryoneFullAccess().
inline SECURITY_ATTRIBUTES* EveryoneFullAccessAttributes() {
    return SecurityPresets::Instance().EveryoneFullAccess();
}

} // namespace tarn
