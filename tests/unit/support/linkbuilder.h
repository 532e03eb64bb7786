// Shell link files built byte by byte, and the installer's packed form of codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::test {

// A link: header with flags, optional link info (local base path + suffix, ANSI), optional
// Darwin block with `descriptor` in both forms, terminal block.
std::vector<std::uint8_t> Link(const std::string& base, const std::string& suffix,
                               const std::string& descriptor);

// The packed form of a GUID's memory image (five base-85 digits a word), the inverse of
// UnpackGuid.
std::string Pack(const std::uint32_t (&words)[4]);

} // namespace tarn::test
