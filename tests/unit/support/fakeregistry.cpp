#include "support/fakeregistry.h"

#include "utility/text/strings.h"

#include <algorithm>
#include <cstring>

namespace tarn::test {

FakeRegistry::Value FakeRegistry::Dword(DWORD value) {
    Value v{REG_DWORD, std::vector<BYTE>(sizeof value)};
    std::memcpy(v.bytes.data(), &value, sizeof value);
    return v;
}

FakeRegistry::Value FakeRegistry::String(std::u16string_view text, DWORD type) {
    Value v{type, std::vector<BYTE>((text.size() + 1) * sizeof(char16_t))};
    std::memcpy(v.bytes.data(), text.data(), text.size() * sizeof(char16_t));
    return v;
}

LSTATUS FakeRegistry::OpenKey(HKEY root, const char16_t* subKey, REGSAM, HKEY* key) {
    *key = nullptr;
    if (root != HKEY_LOCAL_MACHINE) {
        return ERROR_FILE_NOT_FOUND;
    }
    for (auto& [path, values] : keys) {
        if (EqualsAsciiNoCase(path, subKey)) {
            *key = reinterpret_cast<HKEY>(&values);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS FakeRegistry::CreateKey(HKEY, const char16_t*, DWORD, REGSAM, SECURITY_ATTRIBUTES*,
                                HKEY* key) {
    *key = nullptr;
    return ERROR_ACCESS_DENIED;
}

LSTATUS FakeRegistry::QueryValue(HKEY key, const char16_t* name, DWORD* type, BYTE* data,
                                 DWORD* size) {
    const auto& values = *reinterpret_cast<std::map<std::u16string, Value>*>(key);
    const auto found = values.find(name);
    if (found == values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const Value& value = found->second;
    *type = value.type;
    const auto needed = static_cast<DWORD>(value.bytes.size());
    const DWORD capacity = *size;
    *size = needed;
    if (data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (capacity < needed) {
        return ERROR_MORE_DATA;
    }
    std::copy(value.bytes.begin(), value.bytes.end(), data);
    return ERROR_SUCCESS;
}

LSTATUS FakeRegistry::CloseKey(HKEY) {
    return ERROR_SUCCESS;
}

DWORD FakeRegistry::ExpandEnvironment(const char16_t* text, char16_t* out, DWORD capacity) {
    const std::u16string_view source(text);
    const auto needed = static_cast<DWORD>(source.size() + 1);
    if (capacity >= needed) {
        std::copy_n(text, needed, out);
    }
    return needed;
}

} // namespace tarn::test
