// Rule documents from untrusted bytes, decoded as tarn-eval decodes files and evaluated by the
// linked provider against a machine that answers nothing, as tarn-eval does on Linux. One
// provider serves every input, as one serves the agent's evaluations.
#include "tarn-eval/decode.h"
#include "tarn-eval/linked_evaluator.h"

#include "machine/unavailable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string logDirectory;

void RemoveLog() {
    std::error_code ignored;
    std::filesystem::remove_all(logDirectory, ignored);
}

// The agent log goes to a folder of this process's own, removed at exit, unless TARN_LOG_DIR
// names one already.
void PlaceLog() {
    if (const char* set = std::getenv("TARN_LOG_DIR"); set != nullptr && *set != '\0') {
        return;
    }
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::string pattern = (base / "fuzz_ruledocument.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr || ::setenv("TARN_LOG_DIR", pattern.c_str(), 1) != 0) {
        std::abort();
    }
    logDirectory = pattern;
    std::atexit(RemoveLog);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PlaceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarn::UnavailableMachine machine;
    static tarn::eval::LinkedEvaluator evaluator(machine);
    const tarn::eval::DecodedText decoded =
        tarn::eval::DecodeDocument({reinterpret_cast<const char*>(data), size});
    if (!decoded.ok) {
        return 0;
    }
    // The provider writes only VARIANT_TRUE or VARIANT_FALSE, and VARIANT_FALSE with a failure.
    const tarn::eval::Evaluation evaluation = evaluator.Evaluate(decoded.text);
    const bool answered = evaluation.result == VARIANT_TRUE || evaluation.result == VARIANT_FALSE;
    if ((!answered && evaluation.result != tarn::eval::kUnsetResult) ||
        (FAILED(evaluation.hr) && evaluation.result != VARIANT_FALSE)) {
        std::abort();
    }
    return 0;
}
