// Shortcut files (.lnk) read from their bytes, as an offline image answers shortcut rules: the
// installer's codes of an advertised shortcut (its Darwin data block) and the local target
// path of an ordinary one. Every offset is checked against the data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarn::image {

struct ShortcutTarget {
    // An advertised shortcut: the braced codes its descriptor packs (component empty when the
    // descriptor names none).
    bool advertised = false;
    std::u16string productCode;
    std::u16string featureId;
    std::u16string componentCode;
    // The target as the link info gives it: local base path and common path suffix.
    std::u16string localPath;
};

// Nothing when the bytes are not a shell link.
std::optional<ShortcutTarget> ReadShortcut(std::span<const std::uint8_t> file);

// A code in the installer's packed form (20 characters: each 32-bit word of the GUID's memory
// image as five base-85 digits, least significant first) as braced text; nothing when it is
// not one.
std::optional<std::u16string> UnpackGuid(std::u16string_view packed);

} // namespace tarn::image
