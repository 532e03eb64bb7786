// Reading numbers the way the C runtime's wide scanf reads one "%d" or "%<width>u"
// conversion: leading white space, an optional sign, then decimal digits. The value wraps
// modulo 2^32 as the runtime's does; no digit means no number.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarn {

inline constexpr std::size_t kScanNoWidth = static_cast<std::size_t>(-1);

// "%d": the number, or nothing when the text holds no digit where one is expected.
std::optional<std::int32_t> ScanInt32(std::u16string_view text) noexcept;

// "%<width>u": at most `width` characters (sign included) after the white space; a minus
// sign negates as unsigned arithmetic does.
std::optional<std::uint32_t> ScanUInt32(std::u16string_view text,
                                        std::size_t width = kScanNoWidth) noexcept;

} // namespace tarn
