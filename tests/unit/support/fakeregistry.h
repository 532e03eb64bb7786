// A registry held in memory for native tests: keys by root and path (ASCII case-insensitive),
// typed values as raw bytes, and an environment for REG_EXPAND_SZ expansion. It answers with
// the status codes and size rules of the Windows calls and counts the keys left open.
#pragma once

#include "utility/platform/registryapi.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarn::test {

class FakeRegistry final : public RegistryApi {
public:
    using Bytes = std::vector<BYTE>;

    // Value data builders.
    static Bytes Text(std::u16string_view text); // with its terminating NUL
    static Bytes Raw(std::u16string_view chars); // exactly these characters
    static Bytes Number(DWORD value);

    void AddKey(HKEY root, std::u16string_view path);
    void SetValue(HKEY root, std::u16string_view path, std::u16string_view name, DWORD type,
                  Bytes data);
    void SetEnvironment(std::u16string_view name, std::u16string_view value);
    bool HasKey(HKEY root, std::u16string_view path) const;

    std::size_t OpenHandles() const noexcept { return open_.size(); }
    // Makes every expansion fail with `error`.
    void FailExpansion(DWORD error) noexcept { expansionError_ = error; }

    LSTATUS OpenKey(HKEY root, const char16_t* subKey, REGSAM access, HKEY* key) override;
    LSTATUS CreateKey(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                      SECURITY_ATTRIBUTES* security, HKEY* key) override;
    LSTATUS QueryValue(HKEY key, const char16_t* name, DWORD* type, BYTE* data,
                       DWORD* size) override;
    LSTATUS CloseKey(HKEY key) override;
    DWORD ExpandEnvironment(const char16_t* text, char16_t* out, DWORD capacity) override;

private:
    struct Value {
        DWORD type;
        Bytes data;
    };
    using KeyId = std::pair<HKEY, std::u16string>;  // root, lower-case path
    using Values = std::map<std::u16string, Value>; // by lower-case name

    static KeyId Id(HKEY root, std::u16string_view path);
    HKEY NewHandle(const KeyId& id);
    std::u16string Expanded(std::u16string_view text) const;

    std::map<KeyId, Values> keys_;
    std::map<HKEY, KeyId> open_;
    std::map<std::u16string, std::u16string> environment_; // by lower-case name
    std::uintptr_t nextHandle_ = 0x1000;
    DWORD expansionError_ = ERROR_SUCCESS;
};

} // namespace tarn::test
