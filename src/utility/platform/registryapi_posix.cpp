#include "utility/platform/registryapi.h"

namespace tarn {

namespace {

// There is no registry on this host: nothing can be opened or created, so no key ever
// reaches the other calls.
class NoRegistry final : public RegistryApi {
public:
    LSTATUS OpenKey(HKEY, const char16_t*, REGSAM, HKEY* key) override {
        *key = nullptr;
        return ERROR_FILE_NOT_FOUND;
    }
    LSTATUS CreateKey(HKEY, const char16_t*, DWORD, REGSAM, SECURITY_ATTRIBUTES*,
                      HKEY* key) override {
        *key = nullptr;
        return ERROR_FILE_NOT_FOUND;
    }
    LSTATUS CloseKey(HKEY) override { return ERROR_INVALID_HANDLE; }
};

} // namespace

RegistryApi& LiveRegistryApi() noexcept {
    // Never destroyed: the module's unload sequence may still need it.
    static NoRegistry& registry = *new NoRegistry();
    return registry;
}

} // namespace tarn
