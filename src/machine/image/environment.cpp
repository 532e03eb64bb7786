#include "machine/image/environment.h"

#include "utility/text/strings.h"

#include <algorithm>

namespace tarn::image {

bool NoCaseLess::operator()(std::u16string_view a, std::u16string_view b) const noexcept {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char16_t x, char16_t y) { return AsciiLower(x) < AsciiLower(y); });
}

std::u16string ExpandVariables(std::u16string_view text, const Environment& variables) {
    std::u16string expanded;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find(u'%', at);
        const std::size_t close =
            open == std::u16string_view::npos ? open : text.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            expanded.append(text.substr(at));
            break;
        }
        expanded.append(text.substr(at, open - at));
        const auto value = variables.find(text.substr(open + 1, close - open - 1));
        if (value != variables.end() && close > open + 1) {
            expanded += value->second;
        } else {
            expanded.append(text.substr(open, close - open + 1));
        }
        at = close + 1;
    }
    return expanded;
}

} // namespace tarn::image
