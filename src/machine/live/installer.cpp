// The installer functions bound late by name from "msi.dll", which older systems may lack
// or ship without some of these exports.
#include "machine/live/livemachine.h"

#include "utility/platform/libraryhandle.h"
#include "utility/platform/wintypes.h"

#include <utility>

namespace tarn::live {

namespace {

using GetProductInfoFunction = UINT(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);
using EnumRelatedProductsFunction = UINT(WINAPI*)(LPCWSTR, DWORD, DWORD, LPWSTR);
using GetShortcutTargetFunction = UINT(WINAPI*)(LPCWSTR, LPWSTR, LPWSTR, LPWSTR);
using GetComponentPathFunction = int(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);

OLECHAR* Buffer(GuidBuffer* buffer) {
    return buffer == nullptr ? nullptr : Ole(*buffer);
}

class LiveInstaller final : public InstallerLibrary {
public:
    explicit LiveInstaller(LibraryHandle library) noexcept
        : library_(std::move(library)),
          getProductInfo_(library_.FindFunction<GetProductInfoFunction>("MsiGetProductInfoW")),
          enumRelatedProducts_(
              library_.FindFunction<EnumRelatedProductsFunction>("MsiEnumRelatedProductsW")),
          getShortcutTarget_(
              library_.FindFunction<GetShortcutTargetFunction>("MsiGetShortcutTargetW")),
          getComponentPath_(
              library_.FindFunction<GetComponentPathFunction>("MsiGetComponentPathW")) {}

    bool Has(const char* functionName) const override {
        return library_.Find(functionName) != nullptr;
    }

    UINT GetProductInfo(const char16_t* product, const char16_t* property, char16_t* value,
                        DWORD* count) override {
        if (getProductInfo_ == nullptr) {
            return ERROR_PROC_NOT_FOUND;
        }
        return getProductInfo_(Ole(product), Ole(property), Ole(value), count);
    }

    UINT EnumRelatedProducts(const char16_t* upgradeCode, DWORD reserved, DWORD index,
                             GuidBuffer& productCode) override {
        if (enumRelatedProducts_ == nullptr) {
            return ERROR_PROC_NOT_FOUND;
        }
        return enumRelatedProducts_(Ole(upgradeCode), reserved, index, Ole(productCode));
    }

    UINT GetShortcutTarget(const char16_t* shortcutPath, GuidBuffer* productCode,
                           GuidBuffer* featureId, GuidBuffer* componentCode) override {
        if (getShortcutTarget_ == nullptr) {
            return ERROR_PROC_NOT_FOUND;
        }
        return getShortcutTarget_(Ole(shortcutPath), Buffer(productCode), Buffer(featureId),
                                  Buffer(componentCode));
    }

    int GetComponentPath(const char16_t* product, const char16_t* component, char16_t* path,
                         DWORD* count) override {
        if (getComponentPath_ == nullptr) {
            return -1; // INSTALLSTATE_UNKNOWN
        }
        return getComponentPath_(Ole(product), Ole(component), Ole(path), count);
    }

private:
    // The library is released last, after nothing can call into it any more.
    LibraryHandle library_;
    GetProductInfoFunction getProductInfo_;
    EnumRelatedProductsFunction enumRelatedProducts_;
    GetShortcutTargetFunction getShortcutTarget_;
    GetComponentPathFunction getComponentPath_;
};

} // namespace

std::unique_ptr<InstallerLibrary> LoadInstallerLibrary() {
    LibraryHandle library;
    if (!library.Load(u"msi.dll")) {
        return nullptr;
    }
    return std::make_unique<LiveInstaller>(std::move(library));
}

} // namespace tarn::live
