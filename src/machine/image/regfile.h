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

    // Whether the key exists: written in the file, or above a key that is (Wine writes only the
    // keys with values or without subkeys, and creates the keys above them when it loads).
    bool HasKey(std::u16string_view path) const;
    // The names of the key's direct subkeys as first written (sorted without case); empty when
    // there are none.
    std::vector<std::u16string> Subkeys(std::u16string_view path) const;
    // The names of the key's values as first written, in the order Wine enumerates them (sorted
    // without case, the order of the file).
    std::vector<std::u16string> ValueNames(std::u16string_view path) const;
    // The paths of the keys written in the file as first written, sorted without case.
    std::vector<std::u16string> KeyPaths() const;

private:
    // By lower-case path; values by lower-case name ("" for the default value).
    std::map<std::u16string, std::map<std::u16string, RegistryValue>> keys_;
    // By lower-case path: the path as first written, and its value names as first written (by
    // lower-case name).
    struct Names {
        std::u16string path;
        std::map<std::u16string, std::u16string> values;
    };
    std::map<std::u16string, Names> names_;
};

} // namespace tarn::image
