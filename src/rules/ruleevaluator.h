// The provider object's cache of foreign rule engines, and the rule delegation to them and to
// the detection engine.
#pragma once

#include "machine/machine.h"
#include "rules/status.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tarn::rules {

// Created empty with each provider object and emptied, releasing every engine, with it. One
// provider object may evaluate on several threads at once: the cache is locked.
class CRuleEvaluator {
public:
    explicit CRuleEvaluator(Machine& machine) noexcept : machine_(machine) {}
    CRuleEvaluator(const CRuleEvaluator&) = delete;
    CRuleEvaluator& operator=(const CRuleEvaluator&) = delete;

    // The status of `ruleXml` as the engine named by the class-ID text `engine` judges it:
    // 0 holds, 1 does not, a failure HRESULT otherwise (with `errorText` set). `ruleGuid` only
    // names the rule in reports. Never raises.
    Status EvaluateRule(std::u16string_view ruleGuid, const std::u16string& engine,
                        std::u16string_view ruleXml, std::u16string& errorText) noexcept;

    // Engines created and kept so far.
    std::size_t CachedEngines() const;

private:
    static Status Outcome(HRESULT hr, VARIANT_BOOL answer, const std::u16string& engine,
                          std::u16string_view ruleGuid, std::u16string& errorText) noexcept;
    // The cached engine for `engine`, created on first use; a failed creation raises its
    // HRESULT and caches nothing.
    std::shared_ptr<RuleEngine> EngineFor(const std::u16string& engine, const GUID& classId,
                                          std::u16string& errorText);

    Machine& machine_;
    mutable std::mutex lock_;
    std::map<std::u16string, std::shared_ptr<RuleEngine>> engines_;
};

} // namespace tarn::rules
