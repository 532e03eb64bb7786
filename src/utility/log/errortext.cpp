#include "utility/log/errortext.h"

#include "utility/log/messagesource.h"
#include "utility/log/systemmessage.h"
#include "utility/platform/wintypes.h"
#include "utility/text/format.h"

namespace tarn {

namespace {

constexpr std::uint32_t kDecorations =
    ERRORTEXT_DECORATE_1 | ERRORTEXT_DECORATE_2 | ERRORTEXT_DECORATE_4;

bool InRange(std::uint32_t code, std::uint32_t first, std::uint32_t last) {
    return code >= first && code <= last;
}
bool IsWmiCode(std::uint32_t code) {
    return InRange(code, 0x80041002, 0x80044030);
}
bool IsWinInetCode(std::uint32_t code) {
    return InRange(code, 12000, 12186);
}

// A library's text in `language`, else in the default language.
std::u16string LibraryTextOrDefault(MessageSource& source, MessageLibrary library,
                                    std::uint32_t code, std::uint16_t language) {
    std::u16string text = source.LibraryText(library, code, language, {});
    if (text.empty() && language != kLanguageNeutral) {
        text = source.LibraryText(library, code, kLanguageNeutral, {});
    }
    return text;
}

void TrimText(std::u16string& text) {
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0) {
        text.resize(text.size() - 2);
    }
    if (!text.empty() && text.back() == u'.') {
        text.pop_back();
    }
}

// With option 4 the network codes (10000 to 12186) get the second form; else option 1 the
// first and option 2 the second.
std::uint32_t DecorationMessage(std::uint32_t code, std::uint32_t options) {
    if ((options & ERRORTEXT_DECORATE_4) != 0) {
        return InRange(code, 10000, 12186) ? kAgentDecoratedNetwork : kAgentDecorated;
    }
    return (options & ERRORTEXT_DECORATE_1) != 0 ? kAgentDecorated : kAgentDecoratedNetwork;
}

} // namespace

std::u16string SelectErrorText(MessageSource& source, std::uint32_t code, std::uint32_t options,
                               std::uint16_t language) {
    std::u16string text = source.SystemText(code, language);
    if (text.empty() && language != kLanguageNeutral) {
        text = source.SystemText(code, kLanguageNeutral);
    }
    const bool agent = source.IsLoaded(MessageLibrary::Agent);
    if (text.empty() && agent) {
        text = source.LibraryText(MessageLibrary::Agent, code, language, {});
    }
    if (text.empty() || (IsWmiCode(code) && (options & ERRORTEXT_PREFER_WMI) != 0)) {
        std::u16string wmi = LibraryTextOrDefault(source, MessageLibrary::Wmi, code, language);
        if (!wmi.empty()) {
            text = std::move(wmi);
        }
    }
    if (text.empty() && IsWinInetCode(code)) {
        text = LibraryTextOrDefault(source, MessageLibrary::WinInet, code, language);
    }
    if (text.empty() && (options & ERRORTEXT_NO_FALLBACK) == 0) {
        if (!agent) {
            if ((options & kDecorations) == 0) {
                return u"No error description available";
            }
            return FormatString(64, u"No error description available (0x%08X)", code);
        }
        const MessageInsert inserts[] = {code};
        text = source.LibraryText(MessageLibrary::Agent, kAgentNoDescription, language, inserts);
    }
    TrimText(text);
    if (agent && !text.empty() && (options & kDecorations) != 0) {
        const MessageInsert inserts[] = {text.c_str(), code};
        std::u16string decorated = source.LibraryText(
            MessageLibrary::Agent, DecorationMessage(code, options), language, inserts);
        if (!decorated.empty()) {
            TrimText(decorated);
            text = std::move(decorated);
        }
    }
    return text;
}

} // namespace tarn

std::u16string GetErrorText(std::uint32_t code, std::uint32_t options, std::uint16_t language) {
    try {
        return tarn::SelectErrorText(tarn::LiveMessageSource(), code, options, language);
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
