// The Windows Installer as the rule tests reach it: the installer library loaded for the
// length of one query. Each function has the argument shape and the result codes of the
// installer function of the same name, so that rule code passes exactly its own buffers and
// counts and reads the installer's own answers.
#pragma once

#include "utility/platform/wintypes.h"

#include <cstddef>

namespace tarn {

// A braced GUID text (38 characters) and its terminator: the size of every product, upgrade,
// feature and component code buffer at the installer's interface. Buffers of this size are
// passed by type, so no implementation can be handed a shorter one.
inline constexpr std::size_t kGuidChars = 39;
using GuidBuffer = char16_t[kGuidChars];

// One loaded reference to the installer library. Destroying it releases the library and
// keeps the thread's last-error code.
class InstallerLibrary {
public:
    virtual ~InstallerLibrary() = default;

    // Whether the library exports the function of that (ANSI) name. Calling a function that
    // the library lacks answers ERROR_PROC_NOT_FOUND.
    virtual bool Has(const char* functionName) const = 0;

    // MsiGetProductInfoW. `value` and `count` are both null (only "is the product known?"),
    // or `value` holds *count characters, the terminator included; the answer never writes
    // beyond them. 0, ERROR_MORE_DATA, ERROR_UNKNOWN_PRODUCT, ERROR_UNKNOWN_PROPERTY,
    // ERROR_INVALID_PARAMETER, ERROR_BAD_CONFIGURATION, ...
    virtual UINT GetProductInfo(const char16_t* product, const char16_t* property, char16_t* value,
                                DWORD* count) = 0;

    // MsiEnumRelatedProductsW: the product at `index` of the upgrade family. 0 with the code in
    // `productCode`, ERROR_NO_MORE_ITEMS after the last one, or a failure code.
    virtual UINT EnumRelatedProducts(const char16_t* upgradeCode, DWORD reserved, DWORD index,
                                     GuidBuffer& productCode) = 0;

    // MsiGetShortcutTargetW: the codes behind an advertised shortcut; each buffer may be null.
    virtual UINT GetShortcutTarget(const char16_t* shortcutPath, GuidBuffer* productCode,
                                   GuidBuffer* featureId, GuidBuffer* componentCode) = 0;

    // MsiGetComponentPathW: the component's installation state (INSTALLSTATE numbers); the
    // path goes into `path`, at most *count characters with the terminator.
    virtual int GetComponentPath(const char16_t* product, const char16_t* component, char16_t* path,
                                 DWORD* count) = 0;

protected:
    InstallerLibrary() = default;
    InstallerLibrary(const InstallerLibrary&) = delete;
    InstallerLibrary& operator=(const InstallerLibrary&) = delete;
};

} // namespace tarn
