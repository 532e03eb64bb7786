#include "options.h"

#include <algorithm>
#include <iterator>

namespace tarn::eval {

namespace {

bool IsOption(const std::string& arg) {
    return arg.size() > 1 && arg.front() == '-';
}

// Reads the value that follows an option into `value`; false, with the usage error set, when
// it cannot.
template <class Iterator>
bool TakeValue(Iterator& at, Iterator end, const char* what, std::string& value, Options& options) {
    if (!value.empty()) {
        options.error = *at + " given more than once";
        return false;
    }
    if (std::next(at) == end || std::next(at)->empty()) {
        options.error = *at + " needs " + what;
        return false;
    }
    value = *++at;
    return true;
}

// The options that take a value, as given.
struct Values {
    std::string format;
    std::string bits;
};

struct ValueOption {
    const char* name;
    const char* what;
    std::string* (*field)(Options&, Values&);
};
constexpr ValueOption kValueOptions[] = {
    {"--dll", "the path of a provider DLL", [](Options& o, Values&) { return &o.dll; }},
    {"--image", "the folder of a Windows image", [](Options& o, Values&) { return &o.image; }},
    {"--user", "the name of a user profile", [](Options& o, Values&) { return &o.user; }},
    {"--format", "tsv or jsonl", [](Options&, Values& v) { return &v.format; }},
    {"--bits", "32 or 64", [](Options&, Values& v) { return &v.bits; }},
};

// The choices of --format and --bits and the combinations, checked after the arguments.
bool ReadChoices(const Values& values, Options& options) {
    const std::string& format = values.format;
    const std::string& bits = values.bits;
    if (format == "jsonl") {
        options.format = OutputFormat::Jsonl;
    } else if (!format.empty() && format != "tsv") {
        options.error = "--format must be tsv or jsonl";
        return false;
    }
    if (bits == "32" || bits == "64") {
        options.bits = bits == "32" ? 32 : 64;
    } else if (!bits.empty()) {
        options.error = "--bits must be 32 or 64";
        return false;
    }
    if (options.image.empty() && (options.bits != 0 || !options.user.empty())) {
        options.error = "--bits and --user need --image";
        return false;
    }
    if (!options.image.empty() && !options.dll.empty()) {
        options.error = "--dll and --image cannot be combined";
        return false;
    }
    return true;
}

} // namespace

Options ParseArguments(std::span<const std::string> args) {
    Options options;
    bool optionsEnded = false;
    bool standardInputTaken = false;
    Values values;
    for (auto at = args.begin(); at != args.end(); ++at) {
        const std::string& arg = *at;
        const auto valued = std::find_if(std::begin(kValueOptions), std::end(kValueOptions),
                                         [&](const ValueOption& o) { return arg == o.name; });
        if (!optionsEnded && valued != std::end(kValueOptions)) {
            if (!TakeValue(at, args.end(), valued->what, *valued->field(options, values),
                           options)) {
                return options;
            }
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--trace") {
            options.trace = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (!optionsEnded && IsOption(arg)) {
            options.error = "unknown option '" + arg + "'";
            return options;
        } else if (arg == kStandardInput && standardInputTaken) {
            options.error = "standard input ('-') can be read only once";
            return options;
        } else {
            standardInputTaken = standardInputTaken || arg == kStandardInput;
            options.documents.push_back(arg);
        }
    }
    if (!ReadChoices(values, options)) {
        return options;
    }
    if (!options.help && options.documents.empty()) {
        options.error = "no rule document given";
    }
    return options;
}

const char* UsageText() noexcept {
    return "usage: tarn-eval [--help] [--trace] [--format tsv|jsonl] [--dll PATH]\n"
           "                 [--image DIR [--bits 32|64] [--user NAME]] [--] FILE...\n"
           "\n"
           "Evaluates each rule document FILE and prints one line per document:\n"
           "  FILE<TAB>HRESULT<TAB>TRUE|FALSE|UNSET\n"
           "HRESULT is what the provider returned (0x and eight hexadecimal digits); UNSET\n"
           "means that the provider left the result untouched.\n"
           "\n"
           "FILE is UTF-8 (with or without a byte order mark) or UTF-16 with a byte order\n"
           "mark; '-' reads one document from standard input.\n"
           "\n"
           "On Windows the documents go to the provider class registered with COM, or with\n"
           "--dll PATH to the class of that DLL, loaded without registration.\n"
           "\n"
           "--image DIR (Linux) evaluates against an offline Windows image instead: a\n"
           "Wine prefix (the folder of system.reg and drive_c) or the root of a Windows\n"
           "volume (Windows\\System32\\config). The component is imagined as installed\n"
           "there: --bits is its width (the image's Windows' by default), running as the\n"
           "prefix's user or, on a volume, the local system account; --user NAME answers\n"
           "as if the evaluating thread impersonated that profile. Other components' rule\n"
           "engines cannot run offline and answer as not registered.\n"
           "\n"
           "--format jsonl prints one JSON object per document instead of the line:\n"
           "{\"path\", \"hresult\", \"result\"}, with --trace its \"records\", and\n"
           "\"notes\" on what offline evaluation could not do.\n"
           "\n"
           "--trace prints on standard error, after each line, the records that its\n"
           "evaluation wrote into the agent log, every severity included.\n"
           "\n"
           "Exit status: 0 every document holds, 1 some document does not hold or failed,\n"
           "2 usage error, unreadable file, or no provider to evaluate with.\n";
}

} // namespace tarn::eval
