// The registry files of a Wine prefix (system.reg, user.reg, userdef.reg) read as text: keys
// with their values, as an offline image answers registry questions from them. Names compare
// without regard to A-Z case, as the registry's do.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::image {

struct RegistryValue {
    std::uint32_t type = 0; // REG_* number
    std::vector<std::uint8_t> bytes;
};

class RegFile {
public:
    // Parses the text of a registry file (UTF-8; the files are ASCII with escapes). Lines that
    // do not parse are skipped, as Wine skips them; nothing throws but memory exhaustion.
    static RegFile Parse(std::string_view text);

    // The key by its path below the file's root ("Software\\Microsoft\\..."); null when absent.
    const std::map<std::u16string, RegistryValue>* Key(std::u16string_view path) const;
    const RegistryValue* Value(std::u16string_view path, std::u16string_view name) const;
    std::size_t KeyCount() const noexcept { return keys_.size(); }

private:
    // By lower-case path; values by lower-case name ("" for the default value).
    std::map<std::u16string, std::map<std::u16string, RegistryValue>> keys_;
};

} // namespace tarn::image
