#include "rules/combinators.h"

#include "rules/kpxtarnruleproviderinterface.h"
#include "utility/log/comerror.h"

namespace tarn::rules {

namespace {

bool IsComment(const xml::Node& node) {
    return node.Type() == xml::NodeType::Comment;
}

// Calls `visit` for each non-comment child in document order until it returns false.
template <class Visit>
void ForEachExpressionChild(const xml::Node& node, Visit visit) {
    xml::NodeList children = node.ChildNodes();
    children.Reset();
    for (xml::Node child = children.NextNode(); child; child = children.NextNode()) {
        if (!IsComment(child) && !visit(child)) {
            return;
        }
    }
}

bool HasNoChildren(const xml::Node& node) {
    return node.ChildNodes().Length() == 0;
}

} // namespace

Status EvaluateAnd(RuleProvider& provider, const xml::Node& node, bool state) {
    Status result = kHolds;
    ForEachExpressionChild(node, [&](const xml::Node& child) {
        const Status s = provider.EvaluateExpressionNode(child, state);
        if (s != kHolds) {
            result = s;
            return state;
        }
        return true;
    });
    return result;
}

Status EvaluateOr(RuleProvider& provider, const xml::Node& node, bool state) {
    if (HasNoChildren(node)) {
        return kHolds;
    }
    Status result = kDoesNotHold;
    ForEachExpressionChild(node, [&](const xml::Node& child) {
        result = provider.EvaluateExpressionNode(child, state);
        return result != kHolds;
    });
    return result;
}

Status EvaluatePrereqs(RuleProvider& provider, const xml::Node& node, bool state) {
    Status result = kHolds;
    ForEachExpressionChild(node, [&](const xml::Node& child) {
        const Status s = provider.EvaluateExpressionNode(child, state);
        if (s != kHolds) {
            result = s;
        }
        return true;
    });
    return result;
}

Status EvaluateNot(RuleProvider& provider, const xml::Node& node, bool state) {
    const Status s = provider.EvaluateExpressionNode(node.FirstChild(), state);
    if (s == kHolds) {
        return kDoesNotHold;
    }
    return s == kDoesNotHold ? kHolds : s;
}

Status EvaluatePrereq(RuleProvider& provider, const xml::Node& node, bool state) {
    return provider.EvaluateExpressionNode(node.FirstChild(), state);
}

RulesetOutcome EvaluateRulesetBody(RuleProvider& provider, const xml::Node& ruleset) {
    bool state = false;
    if (const xml::Node type = ruleset.Attribute(u"type")) {
        state = type.Text() == u"State";
    }
    if (const xml::Node prereqs = ruleset.SelectSingleNode(u"Prereqs")) {
        if (provider.EvaluateExpressionNode(prereqs, state) != kHolds) {
            return {RulesetOutcome::Kind::PrereqsNotMet, kHolds};
        }
    }
    xml::NodeList children = ruleset.ChildNodes();
    children.Reset();
    if (children.Length() == 0) {
        RaiseComError(E_FAIL, u"Expression node 'or' has no child expression nodes");
    }
    for (xml::Node child = children.NextNode(); child; child = children.NextNode()) {
        if (IsComment(child) || child.Name() == u"Prereqs") {
            continue;
        }
        return {RulesetOutcome::Kind::Evaluated, provider.EvaluateExpressionNode(child, state)};
    }
    return {RulesetOutcome::Kind::NoExpression, kDoesNotHold};
}

Status EvaluateNestedRuleset(RuleProvider& provider, const xml::Node& ruleset) {
    return EvaluateRulesetBody(provider, ruleset).status;
}

} // namespace tarn::rules
