// One provider object evaluating rules for other engines on eight threads at once: every
// answer is the engine's, and each engine text gets exactly one engine.
#include "rules/kpxtarnruleproviderinterface.h"
#include "support/fakemachine.h"
#include "utility/platform/bstr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tarn::test {
namespace {

TEST(RuleEngineConcurrency, EightThreadsShareOneEnginePerText) {
    constexpr int kThreads = 8;
    constexpr int kEngines = 4;
    FakeMachine machine;
    std::vector<std::u16string> documents;
    for (int e = 0; e < kEngines; ++e) {
        const GUID id = {
            0xB0000000u + static_cast<unsigned>(e), 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0}};
        machine.engines[id] = {S_OK, S_OK, e % 2 == 0 ? VARIANT_TRUE : VARIANT_FALSE};
        documents.push_back(u"<ruleset><rule engine='{B000000" + std::u16string(1, u'0' + e) +
                            u"-0000-4000-8000-000000000000}'><x/></rule></ruleset>");
    }
    rules::RuleProvider provider(machine);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const int e = (t + i) % kEngines;
                const Bstr document = Bstr::Copy(documents[e]);
                VARIANT_BOOL result = VARIANT_FALSE;
                const HRESULT hr = provider.EvaluateRules(document.Get(), &result);
                wrong += hr != (e % 2 == 0 ? S_OK : S_FALSE) ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(machine.engineLog->created, kEngines);
    EXPECT_EQ(machine.engineLog->rules.size(), std::size_t{kThreads * 200});
}

} // namespace
} // namespace tarn::test
