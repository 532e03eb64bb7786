// Shortcuts of both kinds, as the shell and the installer leave them on a machine: shell links
// saved through IShellLinkW, and advertised installer shortcuts written byte by byte (nothing
// but the installer makes those).
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace tarn::test {

// A GUID text ("{...}") in the installer's packed form; empty when it is no GUID.
std::wstring PackedGuid(const wchar_t* code);

// A shell link to `target`, saved by the shell's link object (COM initialised by the caller).
HRESULT SaveShellShortcut(const std::filesystem::path& file, const std::filesystem::path& target);

// An advertised shortcut of feature "Complete" of `product` that starts `component`; false when
// a code is no GUID or the file cannot be written.
bool WriteAdvertisedShortcut(const std::filesystem::path& file, const wchar_t* product,
                             const wchar_t* component);

} // namespace tarn::test
