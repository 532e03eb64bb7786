#include "options.h"

#include <iterator>

namespace tarn::eval {

namespace {

bool IsOption(const std::string& arg) {
    return arg.size() > 1 && arg.front() == '-';
}

// Reads the path that follows --dll; false, with the usage error set, when it cannot.
template <class Iterator>
bool TakeDllPath(Iterator& at, Iterator end, Options& options) {
    if (!options.dll.empty()) {
        options.error = "--dll given more than once";
        return false;
    }
    if (std::next(at) == end || std::next(at)->empty()) {
        options.error = "--dll needs the path of a provider DLL";
        return false;
    }
    options.dll = *++at;
    return true;
}

} // namespace

Options ParseArguments(std::span<const std::string> args) {
    Options options;
    bool optionsEnded = false;
    bool standardInputTaken = false;
    for (auto at = args.begin(); at != args.end(); ++at) {
        const std::string& arg = *at;
        if (!optionsEnded && arg == "--dll") {
            if (!TakeDllPath(at, args.end(), options)) {
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
    if (!options.help && options.documents.empty()) {
        options.error = "no rule document given";
    }
    return options;
}

const char* UsageText() noexcept {
    return "usage: tarn-eval [--help] [--trace] [--dll PATH] [--] FILE...\n"
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
           "--trace prints on standard error, after each line, the records that its\n"
           "evaluation wrote into the agent log, every severity included.\n"
           "\n"
           "Exit status: 0 every document holds, 1 some document does not hold or failed,\n"
           "2 usage error, unreadable file, or no provider to evaluate with.\n";
}

} // namespace tarn::eval
