// The evaluation half of the provider object: the evaluate operation, the expression
// dispatcher and the logical combinators. The COM object owns one of these; tools and tests
// use it directly.
#pragma once

#include "machine/machine.h"
#include "rules/ruleevaluator.h"
#include "rules/status.h"
#include "rules/xml/dom.h"
#include "utility/platform/wintypes.h"

#include <memory>
#include <string_view>

namespace tarn::rules {

// A DOM document of this platform loaded synchronously with `text`. Raises "Failed to create
// XMLDOM." with the creation HRESULT, and E_FAIL with `loadFailure` (a format taking the parser's
// reason) when the text does not load.
std::unique_ptr<xml::Document> LoadRuleDocument(std::u16string_view text,
                                                const char16_t* loadFailure);

class RuleProvider {
public:
    explicit RuleProvider(Machine& machine) noexcept : machine_(machine), engines_(machine) {}
    RuleProvider(const RuleProvider&) = delete;
    RuleProvider& operator=(const RuleProvider&) = delete;

    // Evaluates the rule document `ruleXml`; `result` receives whether it holds. Returns
    // S_OK, S_FALSE or the failure HRESULT. Never throws.
    HRESULT EvaluateRules(BSTR ruleXml, VARIANT_BOOL* result) noexcept;

    // The status of one expression node, dispatched on its element name. Failures are
    // raised, never caught here.
    Status EvaluateExpressionNode(const xml::Node& node, bool state);

    Machine& machine() const noexcept { return machine_; }
    CRuleEvaluator& engines() noexcept { return engines_; }

    // Expressions nest at most this deep per thread; deeper ones fail with kNestingTooDeep
    // instead of exhausting the host thread's stack. A level costs up to about 500 bytes of
    // stack in the x86_64 DLL (a nested ruleset; measured by bench/stack_depth), so the deepest
    // evaluation stays near a quarter of an agent thread's 1 MB.
    static constexpr int kMaxNestingDepth = 512;
    static constexpr HRESULT kNestingTooDeep = static_cast<HRESULT>(0x800703E9u);

private:
    HRESULT EvaluateDocument(std::u16string_view text, VARIANT_BOOL* result);

    Machine& machine_;
    CRuleEvaluator engines_;
};

} // namespace tarn::rules
