// The files of an offline Windows image by their Windows paths ("C:\\Windows\\notepad.exe"),
// found on a file system whose names compare with case.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace tarn::image {

class ImageFiles {
public:
    virtual ~ImageFiles() = default;
    // The host path of an existing file or directory; nothing when the path names nothing in
    // the image (or leaves it).
    virtual std::optional<std::filesystem::path> Resolve(std::u16string_view windowsPath) const = 0;
    // The first `limit` bytes of a file at most; nothing when it cannot be read.
    virtual std::optional<std::vector<std::uint8_t>> Read(std::u16string_view windowsPath,
                                                          std::size_t limit) const = 0;
};

} // namespace tarn::image
