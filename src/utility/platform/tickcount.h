// Milliseconds since the system started, counted in 64 bits from the 32-bit count that every
// Windows release has.
#pragma once

#include <cstdint>

namespace tarn {

// The 64-bit count that follows `previous` when the 32-bit count, read no earlier than
// `previous` and less than 49.7 days after it, shows `now`: a smaller low half has wrapped.
constexpr std::uint64_t ExtendTickCount(std::uint64_t previous, std::uint32_t now) noexcept {
    const std::uint64_t next = (previous & ~std::uint64_t{0xFFFFFFFF}) | now;
    return next < previous ? next + (std::uint64_t{1} << 32) : next;
}

} // namespace tarn
