#include "rules/xml/pugi/parse.h"

#include "rules/xml/pugi/declaration.h"
#include "rules/xml/pugi/wellformed.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

namespace tarn::xml::pugi_backend {

namespace {

// Entity replacement is left to CheckAndDecode, and so is dropping whitespace-only text, which
// is only known to be that after references are replaced. parse_fragment keeps text outside the
// document element in the tree so that the checks can see it.
constexpr unsigned kParseOptions =
    (pugi::parse_default & ~pugi::parse_escapes) | pugi::parse_comments | pugi::parse_pi |
    pugi::parse_declaration | pugi::parse_doctype | pugi::parse_ws_pcdata | pugi::parse_fragment;

constexpr char16_t kByteOrderMark = 0xFEFF;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsXmlCodeUnit(char16_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xFFFD);
}

// Whether a block may hold a code unit that needs a closer look: a control character other
// than tab, line feed and carriage return, or anything from U+D800 on (surrogates, U+FFFE,
// U+FFFF). Ordinary text goes through eight code units at a time.
constexpr std::size_t kBlock = 8;
using Units = std::uint16_t __attribute__((vector_size(16)));
using Lanes = std::uint64_t __attribute__((vector_size(16)));

bool BlockNeedsScan(const char16_t* block) {
    Units v;
    std::memcpy(&v, block, sizeof(v));
    const Units control = (v < 0x20) & (v != 0x9) & (v != 0xA) & (v != 0xD);
    const Units suspicious = control | (v >= 0xD800);
    Lanes lanes;
    std::memcpy(&lanes, &suspicious, sizeof(lanes));
    return (lanes[0] | lanes[1]) != 0;
}

// The index of the first code unit that is no XML character (a control character, U+FFFE,
// U+FFFF or an unpaired surrogate), or npos.
std::size_t FirstInvalidCharacter(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (i + kBlock <= text.size() && !BlockNeedsScan(text.data() + i)) {
            i += kBlock;
            continue;
        }
        const std::size_t end = std::min(text.size(), i + kBlock);
        for (; i < end; ++i) {
            const char16_t c = text[i];
            if (IsHighSurrogate(c)) {
                if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1])) {
                    return i;
                }
                ++i; // a pair may end past the block
            } else if (IsLowSurrogate(c) || !IsXmlCodeUnit(c)) {
                return i;
            }
        }
    }
    return std::u16string_view::npos;
}

// pugixml reports positions in its UTF-8 copy of the text; this maps one back.
std::size_t Utf16IndexOfUtf8Offset(std::u16string_view text, std::ptrdiff_t offset) {
    std::ptrdiff_t bytes = 0;
    std::size_t i = 0;
    while (i < text.size() && bytes < offset) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size()) {
            bytes += 4;
            i += 2;
        } else {
            bytes += c < 0x80 ? 1 : (c < 0x800 ? 2 : 3);
            ++i;
        }
    }
    return i;
}

void AppendAscii(std::u16string& out, const std::string& text) {
    for (const char c : text) {
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
}

// "<what> at line L, column C." with both counted from 1; CR LF, CR and LF each end a line.
std::u16string Describe(const char* what, std::u16string_view text, std::size_t index) {
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < index && i < text.size(); ++i) {
        const bool crlf = text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
        if ((text[i] == u'\r' && !crlf) || text[i] == u'\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    std::u16string reason;
    AppendAscii(reason, std::string(what) + " at line " + std::to_string(line) + ", column " +
                            std::to_string(index - lineStart + 1) + ".");
    return reason;
}

ParseOutcome Failed(pugi::xml_document& document, std::u16string reason) {
    document.reset();
    return {false, std::move(reason)};
}

ParseOutcome ParseChecked(pugi::xml_document& document, std::u16string_view text) {
    if (!text.empty() && text.front() == kByteOrderMark) {
        text.remove_prefix(1);
    }
    if (const std::size_t bad = FirstInvalidCharacter(text); bad != std::u16string_view::npos) {
        return Failed(document, Describe("Invalid character", text, bad));
    }
    if (const DeclarationFault fault = CheckDeclaration(text); fault.what != nullptr) {
        return Failed(document, Describe(fault.what, text, fault.index));
    }
    const pugi::xml_parse_result parsed = document.load_buffer(
        text.data(), text.size() * sizeof(char16_t), kParseOptions, pugi::encoding_utf16);
    if (parsed.status == pugi::status_out_of_memory) {
        throw std::bad_alloc();
    }
    if (!parsed) {
        return Failed(document, Describe(parsed.description(), text,
                                         Utf16IndexOfUtf8Offset(text, parsed.offset)));
    }
    const Violation violation = CheckAndDecode(document);
    if (violation.what != nullptr) {
        const std::size_t index =
            violation.offset < 0 ? text.size() : Utf16IndexOfUtf8Offset(text, violation.offset);
        return Failed(document, Describe(violation.what, text, index));
    }
    return {true, {}};
}

} // namespace

ParseOutcome Parse(pugi::xml_document& document, std::u16string_view text) {
    try {
        return ParseChecked(document, text);
    } catch (...) {
        document.reset(); // a tree left half checked is no document
        throw;
    }
}

} // namespace tarn::xml::pugi_backend
