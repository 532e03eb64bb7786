#include "rules/dispatcher.h"

#include "rules/combinators.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/leaves.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

namespace tarn::rules {

namespace {

Status NestedRuleset(RuleProvider& p, const xml::Node& n, bool) {
    return EvaluateNestedRuleset(p, n);
}
Status FileVersion(RuleProvider& p, const xml::Node& n, bool) {
    return EvaluateFileVersion(p, n);
}
Status TargetOfShortcut(RuleProvider& p, const xml::Node& n, bool) {
    return EvaluateTargetOfShortcut(p, n);
}
Status MsiProductCode(RuleProvider& p, const xml::Node& n, bool) {
    return EvaluateMsiProductCode(p, n);
}
Status MsiUpgradeCode(RuleProvider& p, const xml::Node& n, bool) {
    return EvaluateMsiUpgradeCode(p, n);
}
Status PatchInstalled(RuleProvider& p, const xml::Node& n, bool) {
    return EvaluatePatchInstalled(p, n);
}
Status Registry(RuleProvider& p, const xml::Node& n, bool) {
    return EvaluateRegistry(p, n);
}

constexpr DispatchEntry kTable[] = {
    {u"ruleset", NestedRuleset},
    {u"and", EvaluateAnd},
    {u"or", EvaluateOr},
    {u"not", EvaluateNot},
    {u"Prereqs", EvaluatePrereqs},
    {u"Prereq", EvaluatePrereq},
    {u"SmartFileExpression", EvaluateAnd},
    {u"SRFileVersion", FileVersion},
    {u"SmartTargetsOfShortcuts", EvaluateAnd},
    {u"TargetOfShortcut", TargetOfShortcut},
    {u"SmartMSIProductCode", MsiProductCode},
    {u"SmartMSIUpgradeCode", MsiUpgradeCode},
    {u"IsPatchInstalled", PatchInstalled},
    {u"SmartRegistryExpression", EvaluateAnd},
    {u"SRRegistry", Registry},
    {u"rule", EvaluateRuleElement},
};

} // namespace

Evaluator FindEvaluator(std::u16string_view name) noexcept {
    for (const DispatchEntry& entry : kTable) {
        if (EqualsAsciiNoCase(name, entry.name)) {
            return entry.evaluate;
        }
    }
    return nullptr;
}

namespace {

// Counts the expression levels that the calling thread is inside of, across providers.
class NestingGuard {
public:
    NestingGuard() {
        if (++depth_ > RuleProvider::kMaxNestingDepth) {
            --depth_;
            RaiseComErrorFormat(RuleProvider::kNestingTooDeep,
                                u"Expressions are nested deeper than %d levels",
                                RuleProvider::kMaxNestingDepth);
        }
    }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
    ~NestingGuard() { --depth_; }

private:
    static thread_local int depth_;
};

thread_local int NestingGuard::depth_ = 0;

} // namespace

Status RuleProvider::EvaluateExpressionNode(const xml::Node& node, bool state) {
    if (!node) {
        RaiseComError(E_FAIL, u"EvaluateExpressionNode() - expression has no child node");
    }
    const NestingGuard nesting;
    const std::u16string name = node.Name();
    if (name.empty()) {
        RaiseComError(E_FAIL, u"Empty node name");
    }
    if (const Evaluator evaluate = FindEvaluator(name)) {
        return evaluate(*this, node, state);
    }
    RaiseComErrorFormat(E_FAIL, u"Unknown expression type: '%ws'", name);
}

} // namespace tarn::rules
