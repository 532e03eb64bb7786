// Other components' rule engines, created through COM as the agent's own engines are.
#include "machine/live/livemachine.h"
#include "utility/platform/comptr.h"

#include "inventoryruleagent.h"

#include <ole2.h>

namespace tarn::live {

namespace {

// {F45AC2E4-9ABD-48B3-86A8-111565DB5F85}
constexpr IID kInventoryRuleProviderId = {
    0xF45AC2E4, 0x9ABD, 0x48B3, {0x86, 0xA8, 0x11, 0x15, 0x65, 0xDB, 0x5F, 0x85}};

class ComRuleEngine final : public RuleEngine {
public:
    explicit ComRuleEngine(ComPtr<IInventoryRuleProvider> engine) : engine_(std::move(engine)) {}
    HRESULT EvaluateRules(BSTR ruleXml, VARIANT_BOOL* result) override {
        return engine_->EvaluateRules(ruleXml, result);
    }

private:
    ComPtr<IInventoryRuleProvider> engine_;
};

} // namespace

RuleEngineAnswer WindowsMachine::CreateRuleEngine(const GUID& classId) {
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.OutVoid());
    if (FAILED(hr)) {
        return {hr, nullptr};
    }
    if (hr = OleRun(unknown.Get()); FAILED(hr)) {
        return {hr, nullptr};
    }
    ComPtr<IInventoryRuleProvider> engine;
    if (hr = unknown->QueryInterface(kInventoryRuleProviderId, engine.OutVoid()); FAILED(hr)) {
        return {hr, nullptr};
    }
    return {S_OK, std::make_shared<ComRuleEngine>(std::move(engine))};
}

} // namespace tarn::live
