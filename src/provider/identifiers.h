// The component's identifiers. The class ID is the rule evaluation's (rules/classid.h).
#pragma once

#include "rules/classid.h"
#include "utility/platform/wintypes.h"

#include <string>

namespace tarn::provider {

using rules::kProviderClassId;

// The type library KpxTarnRuleProviderLib, version 1.0.
inline constexpr GUID kTypeLibraryId = {
    0xCDF1B27E, 0xDB47, 0x4FCF, {0x86, 0x8D, 0x28, 0x2B, 0xA5, 0xF4, 0xD3, 0x29}};
inline constexpr unsigned short kTypeLibraryMajor = 1;
inline constexpr unsigned short kTypeLibraryMinor = 0;

// IInventoryRuleProvider, declared by the host agent's type library.
inline constexpr GUID kInventoryRuleProviderId = {
    0xF45AC2E4, 0x9ABD, 0x48B3, {0x86, 0xA8, 0x11, 0x15, 0x65, 0xDB, 0x5F, 0x85}};

// IObjectSafety, the standard interface.
inline constexpr GUID kObjectSafetyId = {
    0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};

// Texts as the registry holds them.
inline constexpr char16_t kAppIdText[] = u"{7769253B-A9DE-4fbf-BB31-62FFA32E6150}";
inline constexpr char16_t kClassIdText[] = u"{DF407668-EC52-4582-8C1D-0C4D73E9530E}";
inline constexpr char16_t kTypeLibraryIdText[] = u"{CDF1B27E-DB47-4fcf-868D-282BA5F4D329}";
inline constexpr char16_t kProgId[] = u"Orvanta.KpxTarnRuleProvider.1";
inline constexpr char16_t kVersionIndependentProgId[] = u"Orvanta.KpxTarnRuleProvider";
inline constexpr char16_t kProjectName[] = u"KpxTarnRuleProvider";

// The type library ID in registry form with upper-case digits, as scripts receive it.
inline std::u16string LibraryIdText() {
    return rules::FormatClassId(kTypeLibraryId);
}

} // namespace tarn::provider
