// Small Windows images built byte by byte: a version resource and a PE file that carries it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarn::test {

// Writes the low `size` bytes of `value` at `at`, growing `b` as needed.
void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t value, int size);

// VS_VERSION_INFO with the file version words `ms`.`ls` (2.5.3.1 is 0x00020005, 0x00030001)
// and, when `translated`, a translation table of 0x0409 / 1200.
std::vector<std::uint8_t> VersionInfoResource(bool translated, std::uint32_t ms, std::uint32_t ls);

// A PE image (64-bit for magic 0x20B, 32-bit for 0x10B) with one resource section holding
// `resource` as RT_VERSION, name 1, language 0x409.
std::vector<std::uint8_t> PeImageWithResource(const std::vector<std::uint8_t>& resource,
                                              std::uint16_t magic = 0x20B);

} // namespace tarn::test
