#include "utility/platform/securitypresets.h"

#include <windows.h>

#include <sddl.h>

namespace tarn {

namespace {

void* ConvertDescriptor(const char16_t* sddl) noexcept {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            reinterpret_cast<const wchar_t*>(sddl), SDDL_REVISION_1, &descriptor, nullptr)) {
        return nullptr;
    }
    return descriptor;
}

void* ConvertSid(const char16_t* text) noexcept {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(reinterpret_cast<const wchar_t*>(text), &sid)) {
        return nullptr;
    }
    return sid;
}

void FreeConverted(void* converted) noexcept {
    LocalFree(converted);
}

} // namespace

SecurityConversions LiveSecurityConversions() noexcept {
    return {&ConvertDescriptor, &ConvertSid, &FreeConverted};
}

} // namespace tarn
