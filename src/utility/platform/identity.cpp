#include "utility/platform/identity.h"

#include <cstring>

namespace tarn::identity {

namespace {

// Offsets in the binary SID layout.
constexpr std::size_t kCountOffset = 1;
constexpr std::size_t kAuthorityOffset = 2;
constexpr std::size_t kAuthorityBytes = 6;
constexpr std::size_t kSubAuthorityOffset = 8;

constexpr unsigned char kNtAuthority[kAuthorityBytes] = {0, 0, 0, 0, 0, 5};
constexpr DWORD kLocalSystemRid = 18; // SECURITY_LOCAL_SYSTEM_RID

std::uint8_t SubAuthorityCount(const void* sid) noexcept {
    return static_cast<const std::uint8_t*>(sid)[kCountOffset];
}

DWORD SubAuthority(const void* sid, std::size_t index) noexcept {
    DWORD value = 0;
    std::memcpy(&value, static_cast<const unsigned char*>(sid) + kSubAuthorityOffset + 4 * index,
                sizeof value);
    return value;
}

} // namespace

std::optional<DWORD> FirstTokenQueryFailure(bool succeeded, DWORD error) noexcept {
    if (succeeded) {
        return ERROR_INTERNAL_ERROR;
    }
    if (error == ERROR_INSUFFICIENT_BUFFER) {
        return std::nullopt;
    }
    return error;
}

bool IsLocalSystemSid(const void* sid) noexcept {
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return std::memcmp(bytes + kAuthorityOffset, kNtAuthority, kAuthorityBytes) == 0 &&
           SubAuthorityCount(sid) > 0 && SubAuthority(sid, 0) == kLocalSystemRid;
}

std::optional<DWORD> LastSubAuthority(const void* sid) noexcept {
    const std::uint8_t count = SubAuthorityCount(sid);
    if (count == 0) {
        return std::nullopt;
    }
    return SubAuthority(sid, count - 1u);
}

} // namespace tarn::identity
