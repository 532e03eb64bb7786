// Owning holder of memory that the system allocated with LocalAlloc (security descriptors,
// formatted messages). Windows only.
#pragma once

#include <windows.h>

#include <utility>

namespace tarn {

class LocalMemory {
public:
    LocalMemory() noexcept = default;
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    LocalMemory(LocalMemory&& other) noexcept : memory_(std::exchange(other.memory_, nullptr)) {}
    LocalMemory& operator=(LocalMemory&& other) noexcept {
        if (this != &other) {
            Free();
            memory_ = std::exchange(other.memory_, nullptr);
        }
        return *this;
    }
    ~LocalMemory() { Free(); }

    // Where a call stores its allocation; what was held is freed first.
    template <class T>
    T** Out() noexcept {
        Free();
        return reinterpret_cast<T**>(&memory_);
    }
    void* Get() const noexcept { return memory_; }

    // Frees the memory, keeping the thread's last-error code.
    void Free() noexcept {
        if (memory_ != nullptr) {
            const DWORD lastError = GetLastError();
            LocalFree(std::exchange(memory_, nullptr));
            SetLastError(lastError);
        }
    }

private:
    void* memory_ = nullptr;
};

} // namespace tarn
