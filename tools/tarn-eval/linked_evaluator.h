// The Evaluator over a provider object linked into the tool.
#pragma once

#include "evaluator.h"
#include "machine/machine.h"
#include "rules/kpxtarnruleproviderinterface.h"

namespace tarn::eval {

class LinkedEvaluator final : public Evaluator {
public:
    explicit LinkedEvaluator(Machine& machine) noexcept : provider_(machine) {}

    Evaluation Evaluate(std::u16string_view document) noexcept override;

private:
    rules::RuleProvider provider_;
};

} // namespace tarn::eval
