// The registry as the platform services see it: open, create and close, with the Windows
// status codes. The live implementation is the running Windows; other implementations (an
// offline image) answer the same calls.
#pragma once

#include "utility/platform/wintypes.h"

#include <cstdint>

#if !defined(_WIN32)

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
};

// The predefined roots and the access rights in use, with the platform's values.
#define TARN_PREDEFINED_HKEY(value)                                                                \
    (reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value))))
#define HKEY_CLASSES_ROOT TARN_PREDEFINED_HKEY(0x80000000u)
#define HKEY_LOCAL_MACHINE TARN_PREDEFINED_HKEY(0x80000002u)

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

#endif

namespace tarn {

// Every call answers as its Windows counterpart does (RegOpenKeyExW, RegCreateKeyExW,
// RegCloseKey), status codes included.
class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    virtual LSTATUS OpenKey(HKEY root, const char16_t* subKey, REGSAM access, HKEY* key) = 0;
    virtual LSTATUS CreateKey(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                              SECURITY_ATTRIBUTES* security, HKEY* key) = 0;
    virtual LSTATUS CloseKey(HKEY key) = 0;
};

// The registry of the machine this process runs on (none off Windows: every open fails with
// ERROR_FILE_NOT_FOUND).
RegistryApi& LiveRegistryApi() noexcept;

} // namespace tarn
