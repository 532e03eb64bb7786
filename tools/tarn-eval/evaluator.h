// How tarn-eval gets an answer for one rule document. The tool only talks to this interface,
// so the provider linked into the tool and a provider activated through COM are
// interchangeable.
#pragma once

#include "utility/platform/wintypes.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::eval {

// The value the tool presets in the result before each evaluation. The provider only ever
// writes VARIANT_TRUE or VARIANT_FALSE, so finding this afterwards means "left unchanged".
inline constexpr VARIANT_BOOL kUnsetResult = 0x5555;

struct Evaluation {
    HRESULT hr = S_OK;
    VARIANT_BOOL result = kUnsetResult;
};

class Evaluator {
public:
    virtual ~Evaluator() = default;
    // Evaluates one rule document. Never throws: every failure is in the HRESULT.
    virtual Evaluation Evaluate(std::u16string_view document) noexcept = 0;
    // What the last evaluation could not do where it ran (offline: engines not created).
    virtual std::vector<std::string> TakeNotes() { return {}; }
};

struct Options;

// Where the evaluator comes from once the arguments are known (on Windows: the registered
// class, or the DLL named by --dll).
class EvaluatorSource {
public:
    virtual ~EvaluatorSource() = default;
    // The evaluator for `options`, owned by the source; null, after telling `err` why, when
    // there is none.
    virtual Evaluator* Open(const Options& options, std::ostream& err) = 0;
};

} // namespace tarn::eval
