// A registry held in memory for native tests: keys by root and path (ASCII case-insensitive),
// with the status codes of the Windows calls; it counts the keys left open.
#pragma once

#include "utility/platform/registryapi.h"

#include <map>
#include <set>
#include <string>
#include <utility>

namespace tarn::test {

class FakeRegistry final : public RegistryApi {
public:
    void AddKey(HKEY root, std::u16string_view path) { keys_.insert(Id(root, path)); }
    bool HasKey(HKEY root, std::u16string_view path) const {
        return keys_.count(Id(root, path)) != 0;
    }
    std::size_t OpenHandles() const noexcept { return open_.size(); }

    LSTATUS OpenKey(HKEY root, const char16_t* subKey, REGSAM access, HKEY* key) override;
    LSTATUS CreateKey(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                      SECURITY_ATTRIBUTES* security, HKEY* key) override;
    LSTATUS CloseKey(HKEY key) override;

private:
    using KeyId = std::pair<HKEY, std::u16string>; // root, lower-case path

    static KeyId Id(HKEY root, std::u16string_view path);
    HKEY NewHandle(const KeyId& id);

    std::set<KeyId> keys_;
    std::map<HKEY, KeyId> open_;
    std::uintptr_t nextHandle_ = 0x1000;
};

} // namespace tarn::test
