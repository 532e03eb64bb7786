#include "support/fakemachine.h"

namespace tarn::test {

namespace {

// %NAME% replaced where NAME is defined, as the platform's expansion does.
std::u16string Expand(std::u16string_view text,
                      const std::map<std::u16string, std::u16string>& variables) {
    std::u16string out;
    while (!text.empty()) {
        const std::size_t open = text.find(u'%');
        const std::size_t close = open == text.npos ? text.npos : text.find(u'%', open + 1);
        if (close == text.npos) {
            out += text;
            break;
        }
        const auto found = variables.find(std::u16string(text.substr(open + 1, close - open - 1)));
        out += text.substr(0, open);
        out += found != variables.end() ? found->second : text.substr(open, close - open + 1);
        text.remove_prefix(close + 1);
    }
    return out;
}

} // namespace

FolderAnswer FakeMachine::ShellFolderPath(std::int32_t csidl, const UserToken* token) {
    askedFolders.push_back(csidl);
    const auto& known = token != nullptr ? userFolders : folders;
    const auto found = known.find(csidl);
    return found != known.end() ? FolderAnswer{S_OK, found->second}
                                : FolderAnswer{E_INVALIDARG, {}};
}

std::optional<std::u16string> FakeMachine::ExpandForUser(const UserToken&,
                                                         std::u16string_view text) {
    std::u16string expanded = Expand(text, userVariables);
    return expanded.size() < 260 ? std::optional(std::move(expanded)) : std::nullopt;
}

ProcessExpansion FakeMachine::ExpandForProcess(std::u16string_view text) {
    if (processExpansionError != ERROR_SUCCESS) {
        return {0, processExpansionError, {}};
    }
    std::u16string expanded = Expand(text, processVariables);
    const auto needed = static_cast<DWORD>(expanded.size() + 1);
    return {needed, ERROR_SUCCESS, std::move(expanded)};
}

} // namespace tarn::test
