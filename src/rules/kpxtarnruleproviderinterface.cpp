#include "rules/kpxtarnruleproviderinterface.h"

#include "rules/combinators.h"
#include "utility/log/comerror.h"

#include <new>

namespace tarn::rules {

std::unique_ptr<xml::Document> LoadRuleDocument(std::u16string_view text,
                                                const char16_t* loadFailure) {
    xml::CreateResult created = xml::TryCreateDocument();
    if (FAILED(created.hr)) {
        RaiseComErrorWithCode(created.hr, created.hr, u"Failed to create XMLDOM.");
    }
    created.document->SetAsync(false);
    if (!created.document->LoadXml(text)) {
        RaiseComErrorFormat(E_FAIL, loadFailure, created.document->ParseErrorReason());
    }
    return std::move(created.document);
}

HRESULT RuleProvider::EvaluateRules(BSTR ruleXml, VARIANT_BOOL* result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    try {
        return EvaluateDocument(BstrView(ruleXml), result);
    } catch (const _com_error& e) {
        hr = e.Error();
    } catch (const BareStatus& status) {
        hr = status.code;
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    if (FAILED(hr)) {
        *result = VARIANT_FALSE;
    }
    return hr;
}

HRESULT RuleProvider::EvaluateDocument(std::u16string_view text, VARIANT_BOOL* result) {
    const std::unique_ptr<xml::Document> document =
        LoadRuleDocument(text, u"Failed to load Inventory Rules from Url into XMLDOM. Error %s.");
    const xml::Node ruleset = document->SelectSingleNode(u"//ruleset");
    if (!ruleset) {
        *result = VARIANT_FALSE;
        return E_FAIL;
    }
    const RulesetOutcome outcome = EvaluateRulesetBody(*this, ruleset);
    switch (outcome.kind) {
    case RulesetOutcome::Kind::PrereqsNotMet:
        *result = VARIANT_TRUE;
        return S_OK;
    case RulesetOutcome::Kind::Evaluated:
        *result = outcome.status == kHolds ? VARIANT_TRUE : VARIANT_FALSE;
        return outcome.status;
    case RulesetOutcome::Kind::NoExpression:
        break;
    }
    return S_OK;
}

} // namespace tarn::rules
