// The dispatch table: element names, in the order in which they are tried, and their
// evaluators.
#pragma once

#include "rules/status.h"
#include "rules/xml/dom.h"

#include <string_view>

namespace tarn::rules {

class RuleProvider;

using Evaluator = Status (*)(RuleProvider& provider, const xml::Node& node, bool state);

struct DispatchEntry {
    std::u16string_view name; // compared with A-Z folded
    Evaluator evaluate;
};

// The evaluator for an element name, or null when no row matches.
Evaluator FindEvaluator(std::u16string_view name) noexcept;

} // namespace tarn::rules
