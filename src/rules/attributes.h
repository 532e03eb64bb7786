// Attribute reads shared by the leaf tests. Attributes are read through the element's
// attribute collection, so their names match exactly.
#pragma once

#include "rules/xml/dom.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarn::rules {

// The text of the attribute, or nothing when the element has no attribute of that name.
std::optional<std::u16string> AttributeText(const xml::Node& element, std::u16string_view name);

// True when the attribute holds "FALSE" in any letter case: the test is switched off.
bool IsSwitchedOff(const xml::Node& element, std::u16string_view name);

// The text of an attribute the expression cannot do without; raises E_FAIL with `missing`
// when the element has no attribute of that name.
std::u16string RequiredAttribute(const xml::Node& element, std::u16string_view name,
                                 const char16_t* missing);

} // namespace tarn::rules
