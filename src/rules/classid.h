// Class IDs as rule documents write them, and the ones with a fixed meaning.
#pragma once

#include "utility/platform/wintypes.h"

#include <string>
#include <string_view>

namespace tarn::rules {

// CKpxTarnRuleProvider, this provider's own class: a rule for it is evaluated in place.
inline constexpr GUID kProviderClassId = {
    0xDF407668, 0xEC52, 0x4582, {0x8C, 0x1D, 0x0C, 0x4D, 0x73, 0xE9, 0x53, 0x0E}};

// Reads the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hexadecimal digits of
// either case). Text of any other form gives the all-zero ID.
GUID ParseClassId(std::u16string_view text) noexcept;

// The registry form, upper-case hexadecimal in braces.
std::u16string FormatClassId(const GUID& id);

} // namespace tarn::rules
