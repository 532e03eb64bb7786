#include "machine/image/filebytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::image {

namespace {

// Closes the descriptor when the mapping is made or abandoned; the mapping outlives it.
class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const noexcept { return fd_; }

private:
    int fd_;
};

} // namespace

FileBytes::FileBytes(const std::filesystem::path& file) {
    const Descriptor fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info = {};
    if (fd.Get() < 0 || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size <= kReadWhole) {
        read_.resize(size);
        open_ = read(fd.Get(), read_.data(), size) == static_cast<ssize_t>(size);
        data_ = read_.data();
        size_ = open_ ? size : 0;
        return;
    }
    void* data =
        mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd.Get(), 0);
    if (data == MAP_FAILED) {
        return;
    }
    open_ = true;
    data_ = static_cast<const std::uint8_t*>(data);
    size_ = size;
}

FileBytes::~FileBytes() {
    if (read_.empty() && data_ != nullptr) {
        munmap(const_cast<std::uint8_t*>(data_), size_);
    }
}

} // namespace tarn::image
