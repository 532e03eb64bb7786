#include "rules/msi.h"

#include "rules/attributes.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/leaves.h"
#include "rules/versions.h"
#include "utility/log/comerror.h"
#include "utility/log/report.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace tarn::rules {

namespace {

constexpr char16_t kProductInstalledSource[] = u"EvaluateExpressionNode_msiProductInstalled";
constexpr char16_t kUpgradeCodeSource[] = u"EvaluateExpression msiUpgradeCode";
constexpr char16_t kProductCodeHandler[] = u"SmartMSIProductCode";
constexpr char16_t kUpgradeCodeHandler[] = u"SmartMSIUpgradeCode";

// The text of a fixed buffer up to its terminator, never beyond the buffer.
template <std::size_t N>
std::u16string_view BufferText(const char16_t (&buffer)[N]) {
    return std::u16string_view(buffer, std::find(buffer, buffer + N, u'\0') - buffer);
}

// Adds the product's version to `versions`, or reports why it cannot.
void AddProductVersion(InstallerLibrary& msi, const GuidBuffer& productCode,
                       ProductVersions& versions) {
    char16_t version[kVersionChars] = {};
    DWORD count = kVersionChars;
    const UINT answer = msi.GetProductInfo(productCode, u"VersionString", version, &count);
    const std::u16string_view product = BufferText(productCode);
    if (answer != ERROR_SUCCESS) {
        CEReportEventFormat(CE_SEVERITY_WARNING, kUpgradeCodeSource,
                            u"Failed to obtain product version: %ls (%d)", product, answer);
        return;
    }
    versions[std::u16string(product)] = BufferText(version);
}

} // namespace

Status msiProductInstalled(Machine& machine, const std::u16string& productCode) {
    const std::unique_ptr<InstallerLibrary> msi = machine.LoadInstaller();
    if (!msi) {
        RaiseComError(E_FAIL, u"EvaluateExpressionNode_msiProductInstalled could not load MSI.DLL");
    }
    if (!msi->Has("MsiGetProductInfoW")) {
        RaiseComError(
            E_FAIL,
            u"EvaluateExpressionNode_msiProductInstalled could not find MsiGetProductInfoW");
    }
    switch (msi->GetProductInfo(productCode.c_str(), u"ProductName", nullptr, nullptr)) {
    case ERROR_SUCCESS:
    case ERROR_MORE_DATA:
        return kHolds;
    case ERROR_UNKNOWN_PRODUCT:
        CEReportEventFormat(CE_SEVERITY_INFO, kProductInstalledSource,
                            u"Product code '%ls' not found.", productCode);
        return kDoesNotHold;
    default:
        RaiseComError(E_FAIL,
                      u"msiProductInstalled failed to obtain MsiGetProductInfo from system");
    }
}

void msiUpgradeCode(Machine& machine, const std::u16string& upgradeCode,
                    ProductVersions& versions) {
    const std::unique_ptr<InstallerLibrary> msi = machine.LoadInstaller();
    if (!msi) {
        RaiseComError(E_FAIL, u"EvaluateExpression msiUpgradeCode could not load MSI.DLL");
    }
    const bool canEnumerate = msi->Has("MsiEnumRelatedProductsW");
    const bool canReadInfo = msi->Has("MsiGetProductInfoW");
    if (!canEnumerate) {
        RaiseComError(E_FAIL,
                      u"EvaluateExpression msiUpgradeCode could not find MsiEnumRelatedProductsW");
    }
    if (!canReadInfo) {
        RaiseComError(E_FAIL,
                      u"EvaluateExpression msiUpgradeCode could not find MsiGetProductInfoW");
    }
    for (DWORD index = 0;; ++index) {
        GuidBuffer productCode = {};
        const UINT answer = msi->EnumRelatedProducts(upgradeCode.c_str(), 0, index, productCode);
        if (answer != ERROR_SUCCESS) {
            if (answer != ERROR_NO_MORE_ITEMS) {
                CEReportEventFormat(CE_SEVERITY_WARNING, kUpgradeCodeSource,
                                    u"Failed to enumerate products: %ls (%d)", upgradeCode, answer);
            }
            return;
        }
        AddProductVersion(*msi, productCode, versions);
    }
}

Status EvaluateMsiProductCode(RuleProvider& provider, const xml::Node& element) {
    const std::u16string productCode =
        RequiredAttribute(element, u"productCode", u"Expression has no 'productCode' attribute");
    const Status result = msiProductInstalled(provider.machine(), productCode);
    CEReportEventFormat(CE_SEVERITY_TRACE, kProductCodeHandler, u"productCode: '%s', result: %lx",
                        productCode, result);
    return result;
}

Status EvaluateMsiUpgradeCode(RuleProvider& provider, const xml::Node& element) {
    const std::u16string upgradeCode =
        RequiredAttribute(element, u"upgradeCode", u"Expression has no 'upgradeCode' attribute");
    VersionCondition condition;
    if (!ReadVersionCondition(element, condition)) {
        RaiseComError(E_FAIL, u"Failed to read version details for SmartMSIUpgradeCode");
    }
    ProductVersions versions;
    msiUpgradeCode(provider.machine(), upgradeCode, versions);
    for (const auto& [product, version] : versions) {
        if (CompareVersions(ParseVersionString(version), condition.reference, condition.comparison,
                            condition.lower) == S_OK) {
            CEReportEventFormat(CE_SEVERITY_TRACE, kUpgradeCodeHandler,
                                u"Version [%s] found. Matching product code is [%s].", version,
                                product);
            return kHolds;
        }
    }
    CEReportEvent(CE_SEVERITY_TRACE, kUpgradeCodeHandler,
                  u"No products found for UpgradeCode and version range.");
    return kDoesNotHold;
}

Status EvaluatePatchInstalled(RuleProvider&, const xml::Node& element) {
    // The patch code is required but not looked up: the test never holds.
    RequiredAttribute(element, u"PatchCode", u"Expression has no 'PatchCode' attribute");
    return kDoesNotHold;
}

} // namespace tarn::rules
