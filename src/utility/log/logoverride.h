// The process-wide logging override carried in the environment, so that child processes
// inherit it: eight hexadecimal digits holding mode bits 20-27 and an extra severity mask.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::logoverride {

inline constexpr char16_t kVariable[] = u"Kpx_{32865580-A882-48ef-9C9E-81CFA48FB3C1}";
inline constexpr std::size_t kReadChars = 25; // a longer value counts as absent
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;
inline constexpr std::uint32_t kMask = 0x0FF000FFu;

// Reads one hexadecimal number the way swscanf reads "%08X": leading white space skipped,
// then at most eight characters of optional sign, optional 0x and hexadecimal digits.
std::optional<std::uint32_t> ParseHex(std::u16string_view text) noexcept;

// The stored override of a variable's text: the number masked, or none.
std::uint32_t FromText(std::u16string_view text) noexcept;

// Eight upper-case hexadecimal digits.
std::u16string ToText(std::uint32_t value);

} // namespace tarn::logoverride
