// tarn-eval's command line: `tarn-eval [--help] [--trace] [--dll PATH] [--] FILE...`, where FILE
// "-" is standard input. Arguments arrive as UTF-8 on every platform.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace tarn::eval {

inline constexpr const char* kStandardInput = "-";

struct Options {
    bool help = false;
    bool trace = false;                 // --trace: each evaluation's log records on standard error
    std::string dll;                    // --dll: the provider DLL to load by path, when given
    std::vector<std::string> documents; // in the order given
    std::string error;                  // the usage error, when not empty
};

// `args` without the program name.
Options ParseArguments(std::span<const std::string> args);

// The text --help prints.
const char* UsageText() noexcept;

} // namespace tarn::eval
