// Measures the stack that one evaluation uses per level of expression nesting, on this
// platform and compiler: the stack below the caller is painted, a document nested N levels
// deep is evaluated, and the deepest byte that changed tells how far the evaluation reached.
// Run it from the optimised trees (bench preset natively, the Windows trees under Wine).
#include "rules/kpxtarnruleproviderinterface.h"
#include "utility/platform/bstr.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#define TARN_NOINLINE __attribute__((noinline))

namespace {

constexpr std::size_t kPaintBytes = 6u << 20;
constexpr unsigned char kPaint = 0xA5;

class NoMachine final : public tarn::Machine {};

// Paints kPaintBytes of stack below this frame and returns the lowest painted address. The
// frames of the next call made at the same depth lie in the painted area.
TARN_NOINLINE std::uintptr_t PaintBelow() {
    auto* area = static_cast<unsigned char*>(__builtin_alloca(kPaintBytes));
    std::memset(area, kPaint, kPaintBytes);
    asm volatile("" : : "r"(area) : "memory");
    return reinterpret_cast<std::uintptr_t>(area);
}

TARN_NOINLINE HRESULT Evaluate(const std::u16string& text) {
    static NoMachine machine;
    tarn::rules::RuleProvider provider(machine);
    const tarn::Bstr rule = tarn::Bstr::Copy(text);
    VARIANT_BOOL result = VARIANT_FALSE;
    return provider.EvaluateRules(rule.Get(), &result);
}

// Bytes of stack below this frame that evaluating `text` touched.
TARN_NOINLINE std::size_t StackUsedBy(const std::u16string& text, HRESULT& hr) {
    const auto* const low = reinterpret_cast<const volatile unsigned char*>(PaintBelow());
    hr = Evaluate(text);
    const volatile unsigned char* deepest = low;
    while (deepest < low + kPaintBytes && *deepest == kPaint) {
        ++deepest;
    }
    return static_cast<std::size_t>(low + kPaintBytes - deepest);
}

std::u16string Nested(int levels, const std::u16string& open, const std::u16string& close,
                      const std::u16string& leaf) {
    std::u16string text = u"<ruleset>";
    for (int i = 0; i < levels; ++i) {
        text += open;
    }
    text += leaf;
    for (int i = 0; i < levels; ++i) {
        text += close;
    }
    return text + u"</ruleset>";
}

struct Shape {
    const char* name;
    std::u16string open;
    std::u16string close;
    std::u16string leaf;
};

} // namespace

int main() {
#if defined(_WIN32)
    // The DOM of Windows is a COM class; this thread joins the multithreaded apartment.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
#endif
    const Shape shapes[] = {
        {"and", u"<and>", u"</and>", u""},
        {"or", u"<or>", u"</or>", u""},
        {"not", u"<not>", u"</not>", u"<and/>"},
        {"Prereqs", u"<Prereqs>", u"</Prereqs>", u""},
        {"Prereq", u"<Prereq>", u"</Prereq>", u"<and/>"},
        {"ruleset", u"<ruleset>", u"</ruleset>", u"<and/>"},
        {"SRRegistry", u"<SRRegistry>", u"</SRRegistry>", u"<and/>"},
        {"rule (own engine)", u"<rule engine='{DF407668-EC52-4582-8C1D-0C4D73E9530E}'>", u"</rule>",
         u"<and/>"},
    };
    constexpr int kLow = 100;
    constexpr int kHigh = 200;
    std::printf("%-20s %12s %12s %14s %10s\n", "element", "100 levels", "200 levels", "bytes/level",
                "hr");
    for (const Shape& shape : shapes) {
        HRESULT hrLow = 0;
        HRESULT hrHigh = 0;
        const std::size_t low =
            StackUsedBy(Nested(kLow, shape.open, shape.close, shape.leaf), hrLow);
        const std::size_t high =
            StackUsedBy(Nested(kHigh, shape.open, shape.close, shape.leaf), hrHigh);
        std::printf("%-20s %12zu %12zu %14zu 0x%08lX\n", shape.name, low, high,
                    (high - low) / (kHigh - kLow), static_cast<unsigned long>(hrHigh));
    }
    HRESULT hr = 0;
    const int limit = tarn::rules::RuleProvider::kMaxNestingDepth;
    const std::size_t atLimit =
        StackUsedBy(Nested(limit - 1, u"<ruleset>", u"</ruleset>", u"<and/>"), hr);
    std::printf("deepest document (%d levels of ruleset): %zu bytes, hr 0x%08lX\n", limit - 1,
                atLimit, static_cast<unsigned long>(hr));
    return 0;
}
