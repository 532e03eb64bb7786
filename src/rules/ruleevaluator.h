// The provider object's cache of foreign rule engines.
#pragma once

namespace tarn::rules {

// Created empty with each provider object and emptied, releasing every engine, with it.
class CRuleEvaluator {
public:
    CRuleEvaluator() = default;
    CRuleEvaluator(const CRuleEvaluator&) = delete;
    CRuleEvaluator& operator=(const CRuleEvaluator&) = delete;
};

} // namespace tarn::rules
