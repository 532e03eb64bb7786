// The logical combinators and the nested ruleset. Each evaluates its children through the
// provider's dispatcher and keeps no state of its own.
#pragma once

#include "rules/status.h"
#include "rules/xml/dom.h"

namespace tarn::rules {

class RuleProvider;

Status EvaluateAnd(RuleProvider& provider, const xml::Node& node, bool state);
Status EvaluateOr(RuleProvider& provider, const xml::Node& node, bool state);
Status EvaluateNot(RuleProvider& provider, const xml::Node& node, bool state);
Status EvaluatePrereqs(RuleProvider& provider, const xml::Node& node, bool state);
Status EvaluatePrereq(RuleProvider& provider, const xml::Node& node, bool state);
Status EvaluateNestedRuleset(RuleProvider& provider, const xml::Node& ruleset);

// A ruleset's body, shared by the document and the nested form: its own state from `type`,
// the prerequisite short cut, then the first expression child.
struct RulesetOutcome {
    enum class Kind { PrereqsNotMet, Evaluated, NoExpression };
    Kind kind;
    Status status;
};
RulesetOutcome EvaluateRulesetBody(RuleProvider& provider, const xml::Node& ruleset);

} // namespace tarn::rules
