// Version texts, their packed 64-bit form, the version condition of an expression element and
// the six comparison operators, shared by the file-version and upgrade-code tests.
#pragma once

#include "rules/xml/dom.h"
#include "utility/platform/wintypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::rules {

// major.minor.build.revision, 16 bits a part, laid out like a fixed file-version record: the
// high 32 bits are its most-significant version word, the low 32 bits its least-significant
// one. Versions are ordered as unsigned 64-bit numbers.
using PackedVersion = std::uint64_t;

// Tokens split at runs of space, full stop and comma; the first four are read as unsigned
// decimal numbers (sign accepted, saturating at 4294967295, "-" negating modulo 2^32, trailing
// junk ignored); missing parts are 0. The parts are shifted and ORed without masking, so bits
// above 16 of the minor or revision spill into the major or build. Never fails.
PackedVersion ParseVersionString(std::u16string_view text) noexcept;

struct VersionCondition {
    // The `Comparison` text as written; absent differs from empty.
    std::optional<std::u16string> comparison;
    PackedVersion reference = 0; // `version`
    PackedVersion lower = 0;     // `versionLower`, 0 when absent
};

// Reads "@Comparison", "@version" and "@versionLower" of `element`. False when the element
// has no version condition: no `Comparison`, or no or an empty `version`. Both versions are
// reset to 0 first; the comparison text stays once read, even when the answer is false.
bool ReadVersionCondition(const xml::Node& element, VersionCondition& condition);

// S_OK when `actual` stands in the named relation to `reference` (BETWEEN: to `lower` and
// `reference`, both inclusive), S_FALSE when not, E_INVALIDARG when there is no comparison
// text at all. Names are matched with A-Z folded and never trimmed; an empty or unknown name
// raises E_FAIL "CompareVersions() Unknown comparison type : '<name>'".
HRESULT CompareVersions(PackedVersion actual, PackedVersion reference,
                        std::optional<std::u16string_view> comparison, PackedVersion lower);

} // namespace tarn::rules
