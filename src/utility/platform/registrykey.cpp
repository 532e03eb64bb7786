#include "utility/platform/registrykey.h"

#include <utility>

namespace tarn {

bool RegistryKey::Open(HKEY root, const char16_t* subKey, REGSAM access) {
    HKEY key = nullptr;
    const LSTATUS status = api_->OpenKey(root, subKey, access, &key);
    if (status != ERROR_SUCCESS && (access & KEY_CREATE_SUB_KEY) != 0) {
        return Create(root, subKey, 0, access, nullptr);
    }
    return Adopt(status, key);
}

bool RegistryKey::Create(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                         SECURITY_ATTRIBUTES* security) {
    HKEY key = nullptr;
    const LSTATUS status = api_->CreateKey(root, subKey, options, access, security, &key);
    return Adopt(status, key);
}

bool RegistryKey::Adopt(LSTATUS status, HKEY key) {
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return false;
    }
    Close();
    key_ = key;
    return true;
}

void RegistryKey::Close() noexcept {
    if (key_ != nullptr) {
        const DWORD lastError = GetLastError();
        api_->CloseKey(std::exchange(key_, nullptr));
        SetLastError(lastError);
    }
}

} // namespace tarn
