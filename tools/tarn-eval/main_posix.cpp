// tarn-eval on Linux: the same flags and output as on Windows. The provider is linked in and
// evaluates against an offline Windows image (--image); without one, against a machine that
// answers no query.
#include "linked_evaluator.h"
#include "options.h"
#include "report_line.h"
#include "run.h"

#include "machine/image/imagemachine.h"
#include "machine/unavailable.h"
#include "utility/text/strings.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// The provider over an image, with what the image could not answer.
class ImageEvaluator final : public tarn::eval::Evaluator {
public:
    explicit ImageEvaluator(std::unique_ptr<tarn::image::ImageMachine> machine)
        : machine_(std::move(machine)), linked_(*machine_) {}

    tarn::eval::Evaluation Evaluate(std::u16string_view document) noexcept override {
        return linked_.Evaluate(document);
    }
    std::vector<std::string> TakeNotes() override { return machine_->TakeNotes(); }

private:
    std::unique_ptr<tarn::image::ImageMachine> machine_;
    tarn::eval::LinkedEvaluator linked_;
};

class PosixEvaluatorSource final : public tarn::eval::EvaluatorSource {
public:
    tarn::eval::Evaluator* Open(const tarn::eval::Options& options, std::ostream& err) override {
        if (!options.dll.empty()) {
            err << "tarn-eval: --dll: this build evaluates with the provider linked into it\n";
            return nullptr;
        }
        if (options.image.empty()) {
            unavailable_.emplace(unavailableMachine_);
            return &*unavailable_;
        }
        std::string error;
        std::unique_ptr<tarn::image::ImageMachine> machine = tarn::image::ImageMachine::Open(
            {options.image, options.bits, tarn::Utf8ToUtf16(options.user)}, error);
        if (!machine) {
            err << "tarn-eval: --image " << options.image << ": " << error << '\n';
            return nullptr;
        }
        image_.emplace(std::move(machine));
        return &*image_;
    }

private:
    tarn::UnavailableMachine unavailableMachine_;
    std::optional<tarn::eval::LinkedEvaluator> unavailable_;
    std::optional<ImageEvaluator> image_;
};

} // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        PosixEvaluatorSource source;
        return tarn::eval::RunTool(args, source, {std::cin, std::cout, std::cerr});
    } catch (...) {
        std::fputs("tarn-eval: out of memory\n", stderr);
        return tarn::eval::kUsageOrInputError;
    }
}
