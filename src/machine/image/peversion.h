// The version resource of a Windows executable read from its bytes, as an offline image answers
// the version questions of file rules: the resource (what GetFileVersionInfoW gives) and one
// value of it (what VerQueryValueW gives). Every offset is checked against the data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tarn::image {

// The first version resource (RT_VERSION, first name, first language) of a PE image, 32- or
// 64-bit; nothing when the bytes are not such an image or it has none.
std::optional<std::vector<std::uint8_t>> VersionResource(std::span<const std::uint8_t> file);

// The value of a block of a version resource: "\" is the fixed record, "\VarFileInfo\Translation"
// the translation table; nothing when the block is not there.
std::optional<std::vector<std::uint8_t>> VersionValue(std::span<const std::uint8_t> resource,
                                                      std::u16string_view block);

} // namespace tarn::image
