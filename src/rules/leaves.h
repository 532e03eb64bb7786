// The leaf tests and the rule element, as the dispatcher calls them. Each takes its
// expression element and returns an evaluation status; malformed elements raise.
#pragma once

#include "rules/status.h"
#include "rules/xml/dom.h"

namespace tarn::rules {

class RuleProvider;

Status EvaluateFileVersion(RuleProvider& provider, const xml::Node& element);
Status EvaluateTargetOfShortcut(RuleProvider& provider, const xml::Node& element);
Status EvaluateMsiProductCode(RuleProvider& provider, const xml::Node& element);
Status EvaluateMsiUpgradeCode(RuleProvider& provider, const xml::Node& element);
Status EvaluatePatchInstalled(RuleProvider& provider, const xml::Node& element);
Status EvaluateRegistry(RuleProvider& provider, const xml::Node& element);
Status EvaluateRuleElement(RuleProvider& provider, const xml::Node& element, bool state);

} // namespace tarn::rules
