// Owning holder of a loaded module, for binding late to functions by name (Windows only).
#pragma once

#include <utility>

namespace tarn {

class LibraryHandle {
public:
    LibraryHandle() noexcept = default;
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    LibraryHandle(LibraryHandle&& other) noexcept
        : module_(std::exchange(other.module_, nullptr)) {}
    LibraryHandle& operator=(LibraryHandle&& other) noexcept {
        if (this != &other) {
            Free();
            module_ = std::exchange(other.module_, nullptr);
        }
        return *this;
    }
    ~LibraryHandle() { Free(); }

    // LoadLibraryW of `name`; a module already held is freed first. False with the
    // thread's last-error code when the load fails.
    bool Load(const char16_t* name) noexcept;
    // LoadLibraryExW of `path` as a data file (LOAD_LIBRARY_AS_DATAFILE): for its resources
    // only, no code runs. Otherwise as Load.
    bool LoadDataFile(const char16_t* path) noexcept;
    // GetProcAddress of an ANSI name; null when empty or when the export is missing.
    void* Find(const char* name) const noexcept;
    template <class Function>
    Function FindFunction(const char* name) const noexcept {
        return reinterpret_cast<Function>(Find(name));
    }
    // Frees the module; a successful free keeps the thread's last-error code.
    void Free() noexcept;

    // The module handle (an HMODULE on Windows).
    void* Get() const noexcept { return module_; }

private:
    void* module_ = nullptr;
};

} // namespace tarn
