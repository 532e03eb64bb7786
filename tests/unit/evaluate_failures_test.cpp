// How EvaluateRules ends when something below it fails in a way no rule describes: foreign
// exceptions, bare status codes and exhausted memory. (Documents of 50 MB and deep nesting are
// dom_pugixml_test's and evaluate_rules_test's.)
#include "rules/kpxtarnruleproviderinterface.h"
#include "support/evaluation.h"
#include "support/failingallocation.h"
#include "utility/log/comerror.h"
#include "utility/platform/bstr.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

namespace tarn::test {
namespace {

using rules::RuleProvider;

constexpr char16_t kInstallerRule[] =
    u"<ruleset><SmartMSIProductCode productCode='{6F1C2B7E-0D44-4C55-9E31-7A0B5D2C9E10}'/>"
    u"</ruleset>";

// A machine whose installer fails with whatever the test throws.
class ThrowingMachine final : public Machine {
public:
    explicit ThrowingMachine(std::function<void()> fail) : fail_(std::move(fail)) {}
    std::unique_ptr<InstallerLibrary> LoadInstaller() override {
        fail_();
        return nullptr;
    }

private:
    std::function<void()> fail_;
};

TEST(EvaluateFailures, EveryKindOfThrowEndsAsAnHresult) {
    const struct {
        const char* name;
        std::function<void()> fail;
        HRESULT hr;
    } cases[] = {
        {"foreign exception", [] { throw std::runtime_error("boom"); }, E_UNEXPECTED},
        {"foreign non-exception", [] { throw 42.0; }, E_UNEXPECTED},
        {"bare status code", [] { throw BareStatus{static_cast<HRESULT>(0x80070005u)}; },
         static_cast<HRESULT>(0x80070005u)},
        {"positive bare status", [] { throw BareStatus{7}; }, 7},
        {"exhausted memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY},
    };
    for (const auto& c : cases) {
        ThrowingMachine machine(c.fail);
        const DocumentOutcome o = EvaluateDocument(machine, kInstallerRule);
        EXPECT_EQ(o.hr, c.hr) << c.name;
        // Only a failure HRESULT forces the answer to false.
        EXPECT_EQ(o.result, c.hr < 0 ? VARIANT_FALSE : kUntouched) << c.name;
    }
}

// The parser's own allocations go through the failing allocator too, for the length of a test.
struct ParserAllocations {
    ParserAllocations() {
        pugi::set_memory_management_functions(
            [](std::size_t size) { return ::operator new(size, std::nothrow); },
            [](void* p) { ::operator delete(p); });
    }
    ~ParserAllocations() { pugi::set_memory_management_functions(std::malloc, std::free); }
};

// Every allocation of an evaluation, failed in turn: each run ends with the normal answer or
// E_OUTOFMEMORY and a false result, leaks nothing (LeakSanitizer checks at exit) and never
// crashes.
TEST(EvaluateFailures, ExhaustedMemoryAtEveryAllocation) {
    Machine machine;
    const ParserAllocations parser;
    const std::u16string document =
        u"<doc><!-- c --><ruleset type='State'><Prereqs><SmartFileExpression/></Prereqs>"
        u"<SmartRegistryExpression><or><not><and/></not><SmartTargetsOfShortcuts/></or>"
        u"<Prereq><and/></Prereq></SmartRegistryExpression></ruleset></doc>";
    const DocumentOutcome normal = EvaluateDocument(machine, document);
    ASSERT_EQ(normal.hr, S_OK);
    int failures = 0;
    for (long successes = 0; successes < 10000; ++successes) {
        RuleProvider provider(machine);
        const Bstr rule = Bstr::Copy(document);
        VARIANT_BOOL result = kUntouched;
        HRESULT hr = S_OK;
        {
            const FailingAllocationScope failing(successes);
            hr = provider.EvaluateRules(rule.Get(), &result);
            if (!AllocationFailed()) {
                EXPECT_EQ(hr, normal.hr);
                break;
            }
        }
        ++failures;
        EXPECT_EQ(hr, E_OUTOFMEMORY) << "allocation " << successes;
        EXPECT_EQ(result, VARIANT_FALSE) << "allocation " << successes;
    }
    EXPECT_GT(failures, 5);
}

} // namespace
} // namespace tarn::test
