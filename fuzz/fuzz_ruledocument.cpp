// Rule documents from untrusted bytes, decoded as tarn-eval decodes files and evaluated by the
// linked provider against an offline image, as tarn-eval --image does: a Wine prefix made at
// start from the other targets' seeds (registry files, PE images, shortcuts). One provider
// serves every input, as one serves the agent's evaluations.
#include "tarn-eval/decode.h"
#include "tarn-eval/linked_evaluator.h"

#include "machine/image/imagemachine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string logDirectory;
fs::path imageDirectory;

void RemoveLog() {
    std::error_code ignored;
    fs::remove_all(logDirectory, ignored);
}

void RemoveImage() {
    std::error_code ignored;
    fs::remove_all(imageDirectory, ignored);
}

// A prefix of the seeds: the registry files, the PE images in C:\windows\system32 and
// C:\Program Files\Seeds, the shortcuts in C:\links.
std::unique_ptr<tarn::image::ImageMachine> MakeImage() {
    std::string pattern = (fs::temp_directory_path() / "fuzz_image.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    imageDirectory = pattern;
    std::atexit(RemoveImage);
    const fs::path seeds = TARN_FUZZ_SEEDS;
    const fs::path c = imageDirectory / "drive_c";
    for (const char* folder :
         {"windows/system32", "windows/syswow64", "Program Files/Seeds", "users/fuzz", "links"}) {
        fs::create_directories(c / folder);
    }
    for (const char* file : {"system.reg", "user.reg"}) {
        fs::copy_file(seeds / "regfile" / file, imageDirectory / file);
    }
    for (const auto& entry : fs::directory_iterator(seeds / "peversion")) {
        fs::copy_file(entry.path(), c / "windows/system32" / entry.path().filename());
        fs::copy_file(entry.path(), c / "Program Files/Seeds" / entry.path().filename());
    }
    for (const auto& entry : fs::directory_iterator(seeds / "shelllink")) {
        fs::copy_file(entry.path(), c / "links" / entry.path().filename());
    }
    std::string error;
    std::unique_ptr<tarn::image::ImageMachine> machine =
        tarn::image::ImageMachine::Open({imageDirectory, 0, u""}, error);
    if (!machine) {
        std::abort();
    }
    return machine;
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
    static const std::unique_ptr<tarn::image::ImageMachine> machine = MakeImage();
    static tarn::eval::LinkedEvaluator evaluator(*machine);
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
