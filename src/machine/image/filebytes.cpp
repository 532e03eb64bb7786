#include "machine/image/filebytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::image {

namespace {

// Closes the descriptor when the bytes are read or mapped; a mapping outlives it.
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
    // Not blocking: an image may hold a FIFO under any name.
    const Descriptor fd(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        return;
    }
    read_.reset(new std::uint8_t[kFirstRead]);
    const ssize_t got = read(fd.Get(), read_.get(), kFirstRead);
    if (got >= 0 && static_cast<std::size_t>(got) < kFirstRead) {
        open_ = true;
        data_ = read_.get();
        size_ = static_cast<std::size_t>(got);
        return;
    }
    if (got < 0 || !ReadRest(fd.Get())) {
        read_.reset();
        data_ = nullptr;
        size_ = 0;
    }
}

// A file the first read did not finish: read whole up to kReadWhole, mapped beyond.
bool FileBytes::ReadRest(int fd) {
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    size_ = static_cast<std::size_t>(info.st_size);
    if (size_ <= kReadWhole) {
        read_.reset(new std::uint8_t[size_]);
        data_ = read_.get();
        open_ = pread(fd, read_.get(), size_, 0) == static_cast<ssize_t>(size_);
        return open_;
    }
    read_.reset();
    void* data = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
        return false;
    }
    open_ = mapped_ = true;
    data_ = static_cast<const std::uint8_t*>(data);
    return true;
}

FileBytes::~FileBytes() {
    if (mapped_) {
        munmap(const_cast<std::uint8_t*>(data_), size_);
    }
}

} // namespace tarn::image
