#include "utility/platform/registryapi.h"

#include <algorithm>

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
    LSTATUS QueryValue(HKEY, const char16_t*, DWORD*, BYTE*, DWORD*) override {
        return ERROR_INVALID_HANDLE;
    }
    LSTATUS CloseKey(HKEY) override { return ERROR_INVALID_HANDLE; }
    // No Windows environment to expand from: the text stays as it is.
    DWORD ExpandEnvironment(const char16_t* text, char16_t* out, DWORD capacity) override {
        const std::u16string_view source(text);
        const auto needed = static_cast<DWORD>(source.size() + 1);
        if (capacity >= needed) {
            std::copy_n(text, needed, out);
        }
        return needed;
    }
};

} // namespace

RegistryApi& LiveRegistryApi() noexcept {
    // Never destroyed: singletons read the registry while the module unloads.
    static NoRegistry& registry = *new NoRegistry();
    return registry;
}

} // namespace tarn
