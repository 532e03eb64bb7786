// tarn-eval.exe: evaluates rule documents on this computer through the provider, created
// through COM as the agent creates it: the registered class, or the class of a DLL named by
// --dll.
#include "com_evaluator.h"
#include "options.h"
#include "report_line.h"
#include "run.h"

#include "utility/text/strings.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <memory>
#include <objbase.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

// COM for the life of the tool, in the multithreaded apartment like the agent's threads.
class ComApartment {
public:
    ComApartment() noexcept : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }
    HRESULT Result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// Creates the provider object when the options are known.
class ComEvaluatorSource final : public tarn::eval::EvaluatorSource {
public:
    tarn::eval::Evaluator* Open(const tarn::eval::Options& options, std::ostream& err) override {
        if (!options.image.empty()) {
            err << "tarn-eval: --image: offline images are evaluated by the Linux build\n";
            return nullptr;
        }
        const HRESULT hr = options.dll.empty()
                               ? tarn::eval::ComEvaluator::CreateRegistered(evaluator_)
                               : tarn::eval::ComEvaluator::CreateFromDll(options.dll, evaluator_);
        if (FAILED(hr)) {
            char code[16];
            std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(hr));
            err << "tarn-eval: the provider cannot be created from "
                << (options.dll.empty() ? std::string("the registered class") : options.dll) << ": "
                << code << '\n';
            return nullptr;
        }
        return evaluator_.get();
    }

private:
    std::unique_ptr<tarn::eval::ComEvaluator> evaluator_;
};

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(tarn::Utf16ToUtf8(tarn::U16(argv[i])));
    }
    return args;
}

int Run(int argc, wchar_t** argv) {
    // Documents are bytes and lines end in "\n" alone, as on every platform.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    const std::vector<std::string> args = Utf8Arguments(argc, argv);
    const ComApartment com;
    if (FAILED(com.Result())) {
        std::fprintf(stderr, "tarn-eval: COM cannot be initialised: 0x%08lX\n",
                     static_cast<unsigned long>(com.Result()));
        return tarn::eval::kUsageOrInputError;
    }
    ComEvaluatorSource source;
    return tarn::eval::RunTool(args, source, {std::cin, std::cout, std::cerr});
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        std::fputs("tarn-eval: out of memory\n", stderr);
        return tarn::eval::kUsageOrInputError;
    }
}
