#include "utility/platform/securitypresets.h"

namespace tarn {

namespace {

// No security descriptors here: shared objects get the permissions their creators give.
void* NoConversion(const char16_t* /*text*/) noexcept {
    return nullptr;
}

void NothingToFree(void* /*converted*/) noexcept {}

} // namespace

SecurityConversions LiveSecurityConversions() noexcept {
    return {&NoConversion, &NoConversion, &NothingToFree};
}

} // namespace tarn
