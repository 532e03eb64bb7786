// tarn-eval on Linux: the same flags and output as on Windows. Until offline images are
// supported, the documents are evaluated against a machine that answers no query.
#include "linked_evaluator.h"
#include "report_line.h"
#include "run.h"

#include "machine/unavailable.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        tarn::UnavailableMachine machine;
        tarn::eval::LinkedEvaluator evaluator(machine);
        return tarn::eval::RunTool(args, evaluator, {std::cin, std::cout, std::cerr});
    } catch (...) {
        std::fputs("tarn-eval: out of memory\n", stderr);
        return tarn::eval::kUsageOrInputError;
    }
}
