// The bytes of a file of the image: read whole when small, mapped read-only when large, so that
// a reader touches only what it needs of a large (or sparse) file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace tarn::image {

class FileBytes {
public:
    // No bytes and not open when the file cannot be opened, read or mapped (also a directory
    // or anything but a regular file).
    explicit FileBytes(const std::filesystem::path& file);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool IsOpen() const noexcept { return open_; }
    std::span<const std::uint8_t> Bytes() const noexcept { return {data_, size_}; }

private:
    // Most files end within the first read (a short read of a regular file is its end), so
    // only larger ones are asked their size.
    static constexpr std::size_t kFirstRead = 64 * 1024;
    static constexpr std::size_t kReadWhole = 1024 * 1024;

    bool ReadRest(int fd);

    std::unique_ptr<std::uint8_t[]> read_; // the bytes of a file read whole
    bool open_ = false;
    bool mapped_ = false;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace tarn::image
