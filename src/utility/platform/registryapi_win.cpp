#include "utility/platform/registryapi.h"

namespace tarn {

namespace {

class LiveRegistry final : public RegistryApi {
public:
    LSTATUS OpenKey(HKEY root, const char16_t* subKey, REGSAM access, HKEY* key) override {
        return RegOpenKeyExW(root, Ole(subKey), 0, access, key);
    }
    LSTATUS CreateKey(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                      SECURITY_ATTRIBUTES* security, HKEY* key) override {
        return RegCreateKeyExW(root, Ole(subKey), 0, nullptr, options, access, security, key,
                               nullptr);
    }
    LSTATUS CloseKey(HKEY key) override { return RegCloseKey(key); }
};

} // namespace

RegistryApi& LiveRegistryApi() noexcept {
    // Never destroyed: the module's unload sequence may still need it.
    static LiveRegistry& registry = *new LiveRegistry();
    return registry;
}

} // namespace tarn
