// tarn-eval's command line: `tarn-eval [--help] [--trace] [--format tsv|jsonl] [--dll PATH]
// [--image DIR [--bits 32|64] [--user NAME]] [--] FILE...`, where FILE "-" is standard input.
// Arguments arrive as UTF-8 on every platform.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace tarn::eval {

inline constexpr const char* kStandardInput = "-";

enum class OutputFormat { Tsv, Jsonl };

struct Options {
    bool help = false;
    bool trace = false; // --trace: each evaluation's log records on standard error
    OutputFormat format = OutputFormat::Tsv;
    std::string dll;                    // --dll: the provider DLL to load by path, when given
    std::string image;                  // --image: the offline Windows image, when given
    int bits = 0;                       // --bits: the component's width on the image (0: its OS's)
    std::string user;                   // --user: the profile the evaluating thread impersonates
    std::vector<std::string> documents; // in the order given
    std::string error;                  // the usage error, when not empty
};

// `args` without the program name.
Options ParseArguments(std::span<const std::string> args);

// The text --help prints.
const char* UsageText() noexcept;

} // namespace tarn::eval
