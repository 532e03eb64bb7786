#include "rules/ruleevaluator.h"

#include "rules/classid.h"
#include "rules/detection.h"
#include "utility/log/comerror.h"
#include "utility/log/report.h"
#include "utility/platform/bstr.h"
#include "utility/text/format.h"

namespace tarn::rules {

namespace {

constexpr std::size_t kTextLimit = 4096;
constexpr char16_t kSource[] = u"CRuleEvaluator";
constexpr char16_t kEvaluationSource[] = u"CRuleEvaluator::";

bool IsNull(const GUID& id) {
    return id == GUID_NULL;
}

} // namespace

Status CRuleEvaluator::EvaluateRule(std::u16string_view ruleGuid, const std::u16string& engine,
                                    std::u16string_view ruleXml,
                                    std::u16string& errorText) noexcept {
    VARIANT_BOOL answer = VARIANT_FALSE;
    HRESULT hr = S_OK;
    try {
        const GUID classId = ParseClassId(engine);
        if (IsNull(classId)) {
            errorText = FormatString(kTextLimit, u"Invalid Rule Engine guid = '%ws'", engine);
            CEReportEvent(CE_SEVERITY_WARNING, kSource, errorText.c_str());
            return E_FAIL;
        }
        if (classId == kDetectionEngineClassId) {
            return EvaluateDetectionDocument(machine_, ruleXml);
        }
        const std::shared_ptr<RuleEngine> ruleEngine = EngineFor(engine, classId, errorText);
        hr = ruleEngine->EvaluateRules(Bstr::Copy(ruleXml).Get(), &answer);
    } catch (const BareStatus& status) {
        hr = status.code;
    } catch (const _com_error& error) {
        hr = error.Error();
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    return Outcome(hr, answer, engine, ruleGuid, errorText);
}

// The engine's answer as a status, with its report.
Status CRuleEvaluator::Outcome(HRESULT hr, VARIANT_BOOL answer, const std::u16string& engine,
                               std::u16string_view ruleGuid, std::u16string& errorText) noexcept {
    try {
        if (FAILED(hr)) {
            CEReportEventFormat(CE_SEVERITY_WARNING, kEvaluationSource,
                                u"Error Evaluating rule. Error =%lx. Guid Provider = '%ws'. "
                                u"Guid='%ws' ",
                                hr, engine, ruleGuid);
            errorText = u"Error evaluating rule";
            return hr;
        }
        const Status status = hr != S_OK ? hr : answer != VARIANT_FALSE ? kHolds : kDoesNotHold;
        CEReportEventFormat(CE_SEVERITY_TRACE, kEvaluationSource,
                            u"Inv Rule Evaluation = %ws. Guid Provider = '%ws'. Guid='%ws' ",
                            status == kHolds ? u"TRUE" : u"FALSE", engine, ruleGuid);
        return status;
    } catch (...) {
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    }
}

std::shared_ptr<RuleEngine> CRuleEvaluator::EngineFor(const std::u16string& engine,
                                                      const GUID& classId,
                                                      std::u16string& errorText) {
    const std::lock_guard<std::mutex> locked(lock_);
    if (const auto cached = engines_.find(engine); cached != engines_.end()) {
        return cached->second;
    }
    RuleEngineAnswer created = machine_.CreateRuleEngine(classId);
    if (FAILED(created.hr) || !created.engine) {
        errorText = FormatString(kTextLimit, u"Unable to create Rule Engine Guid = '%ws'", engine);
        CEReportEvent(CE_SEVERITY_WARNING, kSource, errorText.c_str());
        throw BareStatus{FAILED(created.hr) ? created.hr : E_NOINTERFACE};
    }
    engines_.emplace(engine, created.engine);
    return created.engine;
}

std::size_t CRuleEvaluator::CachedEngines() const {
    const std::lock_guard<std::mutex> locked(lock_);
    return engines_.size();
}

} // namespace tarn::rules
