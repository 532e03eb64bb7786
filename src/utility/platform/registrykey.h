// Owning wrapper of one open registry key with typed reads. Every failure returns false and
// leaves a Win32 error code as the thread's last-error code: the registry's status when a
// call failed, ERROR_INVALID_DATA when the value has a type the read does not accept.
#pragma once

#include "utility/platform/registryapi.h"

#include <string>
#include <utility>
#include <vector>

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

    // A string value, a REG_EXPAND_SZ expanded, or a 4-byte REG_DWORD / REG_BINARY as "%d".
    // With `maxLength` >= 0 the text is cut to it or filled up to it with NUL characters.
    bool QueryString(const char16_t* name, std::u16string& out, int maxLength = -1);
    // A 4-byte REG_DWORD / REG_BINARY, or a string value read as one "%d" number.
    bool QueryDword(const char16_t* name, DWORD& out);
    // Appends the strings of a REG_MULTI_SZ (up to the first empty one; one empty string when
    // it holds none) or the one string of a REG_SZ.
    bool QueryMultiString(const char16_t* name, std::vector<std::u16string>& out);

    // A string value read into `capacity` characters and nothing else: fails with the registry's
    // status, or with ERROR_INVALID_DATA for a type other than REG_SZ or REG_EXPAND_SZ, an odd
    // byte count or data whose last character is not the terminator. Not expanded; data of 0
    // bytes is the empty string. `count` receives the characters read, terminator included.
    bool QueryTypedString(const char16_t* name, DWORD capacity, std::u16string& out, DWORD& count);
    // A REG_DWORD value read into 4 bytes; any other type fails with ERROR_INVALID_DATA.
    bool QueryStrictDword(const char16_t* name, DWORD& out);

private:
    struct RawValue;

    bool Adopt(LSTATUS status, HKEY key);
    // Reads the value into 512 bytes; its type and size are known even when it did not fit.
    bool QueryFirst(const char16_t* name, RawValue& value);
    // Reads it again into a buffer of its size when the first read did not hold it all.
    bool QueryRest(const char16_t* name, RawValue& value);
    bool Expand(std::u16string& text);

    RegistryApi* api_;
    HKEY key_ = nullptr;
};

} // namespace tarn
