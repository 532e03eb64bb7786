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
    LSTATUS QueryValue(HKEY key, const char16_t* name, DWORD* type, BYTE* data,
                       DWORD* size) override {
        return RegQueryValueExW(key, Ole(name), nullptr, type, data, size);
    }
    LSTATUS CloseKey(HKEY key) override { return RegCloseKey(key); }
    DWORD ExpandEnvironment(const char16_t* text, char16_t* out, DWORD capacity) override {
        return ExpandEnvironmentStringsW(Ole(text), Ole(out), capacity);
    }
};

} // namespace

RegistryApi& LiveRegistryApi() noexcept {
    // Never destroyed: singletons read the registry while the module unloads.
    static LiveRegistry& registry = *new LiveRegistry();
    return registry;
}

} // namespace tarn
