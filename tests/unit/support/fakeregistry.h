// A registry held in memory for native tests, answering with the status codes and size rules
// of the Windows calls. Keys are named from HKEY_LOCAL_MACHINE, compared ignoring A-Z case.
#pragma once

#include "utility/platform/registryapi.h"

#include <map>
#include <string>
#include <vector>

namespace tarn::test {

class FakeRegistry final : public RegistryApi {
public:
    struct Value {
        DWORD type;
        std::vector<BYTE> bytes;
    };
    // Values by key path and name; a key exists once it has a value or an empty map.
    std::map<std::u16string, std::map<std::u16string, Value>> keys;

    static Value Dword(DWORD value);
    // A string value with its terminator (REG_SZ unless said).
    static Value String(std::u16string_view text, DWORD type = REG_SZ);

    LSTATUS OpenKey(HKEY root, const char16_t* subKey, REGSAM access, HKEY* key) override;
    LSTATUS CreateKey(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                      SECURITY_ATTRIBUTES* security, HKEY* key) override;
    LSTATUS QueryValue(HKEY key, const char16_t* name, DWORD* type, BYTE* data,
                       DWORD* size) override;
    LSTATUS CloseKey(HKEY key) override;
    DWORD ExpandEnvironment(const char16_t* text, char16_t* out, DWORD capacity) override;
};

} // namespace tarn::test
