// The registry entries of the component, under HKEY_CLASSES_ROOT, as two scripts: the AppID
// script and the class script. Texts may hold "%NAME%" placeholders for replacement values.
#pragma once

#include <span>

namespace tarn::provider {

struct RegistryEntry {
    const char16_t* key;
    const char16_t* valueName; // null: the key's unnamed value
    const char16_t* data;      // null: the key alone, without a value
};

struct RegistrationScript {
    // Keys deleted whole before the entries are written.
    std::span<const char16_t* const> replacedKeys;
    // Written in order; missing keys are created.
    std::span<const RegistryEntry> entries;
    // Deleted with everything below them when unregistering. Their parents (AppID, CLSID)
    // are never removed.
    std::span<const char16_t* const> removedKeys;
};

const RegistrationScript& AppIdScript() noexcept;
const RegistrationScript& ClassScript() noexcept;

} // namespace tarn::provider
