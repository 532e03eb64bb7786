// The registry as the platform services see it: open, create, query a value and close, with
// the Windows status codes and value types. The live implementation is the running Windows;
// other implementations (an offline image) answer the same calls.
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

// The predefined roots, with the platform's values.
#define TARN_PREDEFINED_HKEY(value)                                                                \
    (reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value))))
#define HKEY_CLASSES_ROOT TARN_PREDEFINED_HKEY(0x80000000u)
#define HKEY_CURRENT_USER TARN_PREDEFINED_HKEY(0x80000001u)
#define HKEY_LOCAL_MACHINE TARN_PREDEFINED_HKEY(0x80000002u)
#define HKEY_USERS TARN_PREDEFINED_HKEY(0x80000003u)

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;

#endif

namespace tarn {

// Every call answers as its Windows counterpart does (RegOpenKeyExW, RegCreateKeyExW,
// RegQueryValueExW, RegCloseKey, ExpandEnvironmentStringsW), status codes included.
class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    virtual LSTATUS OpenKey(HKEY root, const char16_t* subKey, REGSAM access, HKEY* key) = 0;
    virtual LSTATUS CreateKey(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                              SECURITY_ATTRIBUTES* security, HKEY* key) = 0;
    // `size` is the capacity of `data` in bytes on entry and the size of the value on return,
    // also when the status is ERROR_MORE_DATA.
    virtual LSTATUS QueryValue(HKEY key, const char16_t* name, DWORD* type, BYTE* data,
                               DWORD* size) = 0;
    virtual LSTATUS CloseKey(HKEY key) = 0;
    // Characters needed including the NUL (the expansion is written only when `capacity`
    // suffices); 0 on failure with the thread's last-error code set.
    virtual DWORD ExpandEnvironment(const char16_t* text, char16_t* out, DWORD capacity) = 0;
};

// The registry of the machine this process runs on (none off Windows: every open fails with
// ERROR_FILE_NOT_FOUND).
RegistryApi& LiveRegistryApi() noexcept;

} // namespace tarn
