// The default locations of the shell's folder numbers (SHGetFolderPathW with
// SHGFP_TYPE_DEFAULT) as templates over a user's environment.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarn::image {

// The template of a folder number ("%USERPROFILE%\\Documents"), flags above the number ignored;
// nothing for virtual folders and numbers the shell does not know. `os64` picks the folders
// that differ between 32- and 64-bit Windows.
std::optional<std::u16string_view> FolderTemplate(std::int32_t csidl, bool os64);

} // namespace tarn::image
