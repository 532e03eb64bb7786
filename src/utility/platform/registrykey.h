// Owning wrapper of one open registry key. Every failure returns false and leaves the
// registry's status as the thread's last-error code.
#pragma once

#include "utility/platform/registryapi.h"

#include <utility>

namespace tarn {

class RegistryKey {
public:
    explicit RegistryKey(RegistryApi& api = LiveRegistryApi()) noexcept : api_(&api) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept
        : api_(other.api_), key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Close();
            api_ = other.api_;
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~RegistryKey() { Close(); }

    // Opens `subKey`; when that fails and `access` holds KEY_CREATE_SUB_KEY, creates it.
    // A key already held is closed only once the new one is obtained.
    bool Open(HKEY root, const char16_t* subKey, REGSAM access);
    bool Create(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                SECURITY_ATTRIBUTES* security = nullptr);
    // Keeps the thread's last-error code.
    void Close() noexcept;

    bool IsOpen() const noexcept { return key_ != nullptr; }
    HKEY Get() const noexcept { return key_; }

private:
    bool Adopt(LSTATUS status, HKEY key);

    RegistryApi* api_;
    HKEY key_ = nullptr;
};

} // namespace tarn
