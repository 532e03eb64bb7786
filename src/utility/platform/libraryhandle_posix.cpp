#include "utility/platform/libraryhandle.h"

#include "utility/platform/wintypes.h"

namespace tarn {

// No Windows modules exist on this host: every load fails as a missing module would.
bool LibraryHandle::Load(const char16_t*) noexcept {
    Free();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return false;
}

void* LibraryHandle::Find(const char*) const noexcept {
    return nullptr;
}

void LibraryHandle::Free() noexcept {
    module_ = nullptr;
}

} // namespace tarn
