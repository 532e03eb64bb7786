#include "utility/platform/libraryhandle.h"

#include "utility/platform/wintypes.h"

namespace tarn {

bool LibraryHandle::Load(const char16_t* name) noexcept {
    Free();
    module_ = LoadLibraryW(Ole(name));
    return module_ != nullptr;
}

bool LibraryHandle::LoadDataFile(const char16_t* path) noexcept {
    Free();
    module_ = LoadLibraryExW(Ole(path), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module_ != nullptr;
}

void* LibraryHandle::Find(const char* name) const noexcept {
    if (module_ == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
}

void LibraryHandle::Free() noexcept {
    if (module_ == nullptr) {
        return;
    }
    const DWORD lastError = GetLastError();
    if (FreeLibrary(static_cast<HMODULE>(std::exchange(module_, nullptr)))) {
        SetLastError(lastError);
    }
}

} // namespace tarn
