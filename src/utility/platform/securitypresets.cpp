#include "utility/platform/securitypresets.h"

namespace tarn {

SecurityPresets& SecurityPresets::Instance() {
    return SecurityPresetsSingleton::Instance();
}

SecurityPresets::SecurityPresets(SecurityConversions conversions) noexcept
    : conversions_(conversions) {
    for (SECURITY_ATTRIBUTES& record : records_) {
        // No descriptor yet, not inheritable.
        record = SECURITY_ATTRIBUTES{static_cast<DWORD>(sizeof record), nullptr, 0};
    }
    for (std::size_t i = 0; i < kSecurityPresetCount; ++i) {
        records_[i].lpSecurityDescriptor = conversions_.descriptor(kSecurityPresetSddl[i]);
    }
    for (std::size_t i = 0; i < kPresetSidCount; ++i) {
        sids_[i] = conversions_.sid(kPresetSidText[i]);
    }
}

SecurityPresets::~SecurityPresets() {
    for (SECURITY_ATTRIBUTES& record : records_) {
        if (record.lpSecurityDescriptor != nullptr) {
            conversions_.free(record.lpSecurityDescriptor);
            record.lpSecurityDescriptor = nullptr;
        }
    }
    for (void*& sid : sids_) {
        if (sid != nullptr) {
            conversions_.free(sid);
            sid = nullptr;
        }
    }
}

} // namespace tarn
