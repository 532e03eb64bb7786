// A file of the image mapped read-only: its bytes without reading them all, so that a reader
// touches only what it needs of a large (or sparse) file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace tarn::image {

class MappedFile {
public:
    // An empty mapping when the file cannot be opened or mapped (also a directory); empty
    // files map to no bytes.
    explicit MappedFile(const std::filesystem::path& file) noexcept;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool IsOpen() const noexcept { return open_; }
    std::span<const std::uint8_t> Bytes() const noexcept { return {data_, size_}; }

private:
    bool open_ = false;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace tarn::image
