#include "utility/log/errortext.h"

#include "utility/log/systemmessage.h"
#include "utility/platform/wintypes.h"
#include "utility/text/format.h"

namespace {

constexpr std::uint32_t kDecorations =
    ERRORTEXT_DECORATE_1 | ERRORTEXT_DECORATE_2 | ERRORTEXT_DECORATE_4;

std::u16string SystemText(std::uint32_t code, std::uint16_t language) {
    std::u16string text = tarn::SystemMessageText(code, language);
    if (text.empty() && language != tarn::kLanguageNeutral) {
        text = tarn::SystemMessageText(code, tarn::kLanguageNeutral);
    }
    return text;
}

// Without the agent extension library the fallback is a fixed English text.
std::u16string FallbackText(std::uint32_t code, std::uint32_t options) {
    if ((options & kDecorations) == 0) {
        return u"No error description available";
    }
    return tarn::FormatString(64, u"No error description available (0x%08X)", code);
}

void TrimText(std::u16string& text) {
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0) {
        text.resize(text.size() - 2);
    }
    if (!text.empty() && text.back() == u'.') {
        text.pop_back();
    }
}

} // namespace

std::u16string GetErrorText(std::uint32_t code, std::uint32_t options, std::uint16_t language) {
    try {
        std::u16string text = SystemText(code, language);
        // The agent extension, WMI and WinINet message tables are consulted here once those
        // libraries are loaded; none is yet, so no decoration applies either.
        if (text.empty()) {
            return (options & ERRORTEXT_NO_FALLBACK) != 0 ? text : FallbackText(code, options);
        }
        TrimText(text);
        return text;
    } catch (...) {
        return {};
    }
}

std::u16string GetErrorText(std::uint32_t code) {
    return GetErrorText(code, ERRORTEXT_NO_FALLBACK, tarn::kLanguageEnglishUs);
}

std::u16string GetLastErrorText() {
    const DWORD saved = GetLastError();
    std::u16string text = GetErrorText(saved);
    SetLastError(saved);
    return text;
}
