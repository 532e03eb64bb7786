// Dispatch rows whose tests are not built yet: each fails clearly instead of guessing.
#include "rules/leaves.h"
#include "utility/log/comerror.h"

namespace tarn::rules {

void RaiseNotBuilt(const xml::Node& element) {
    RaiseComErrorFormat(E_NOTIMPL, u"Expression type '%ws' is not supported by this build",
                        element.Name());
}

Status EvaluateFileVersion(RuleProvider&, const xml::Node& element) {
    RaiseNotBuilt(element);
}
Status EvaluateTargetOfShortcut(RuleProvider&, const xml::Node& element) {
    RaiseNotBuilt(element);
}

} // namespace tarn::rules
