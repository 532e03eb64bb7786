#include "utility/text/strings.h"

#include "utility/text/utf.h"

#include <type_traits>

namespace tarn {

namespace {

// Names and markup are mostly ASCII: a run of it is copied unit by unit without decoding.
template <class From, class To, class Decode, class Encode>
void AppendConverted(std::basic_string_view<From> text, std::basic_string<To>& out, Decode decode,
                     Encode encode) {
    using Unit = std::make_unsigned_t<From>;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t asciiEnd = i;
        while (asciiEnd < text.size() && static_cast<Unit>(text[asciiEnd]) < 0x80) {
            ++asciiEnd;
        }
        if (asciiEnd > i) {
            const std::size_t at = out.size();
            out.resize(at + (asciiEnd - i));
            for (std::size_t k = i; k < asciiEnd; ++k) {
                out[at + k - i] = static_cast<To>(text[k]);
            }
            i = asciiEnd;
            continue;
        }
        const utf::Decoded d = decode(text.data() + i, text.size() - i);
        To units[4];
        out.append(units, encode(d.codePoint, units));
        i += d.length;
    }
}

} // namespace

void AppendUtf16(std::string_view text, std::u16string& out) {
    AppendConverted(text, out, utf::DecodeUtf8, utf::EncodeUtf16);
}

void AppendUtf8(std::u16string_view text, std::string& out) {
    AppendConverted(text, out, utf::DecodeUtf16, utf::EncodeUtf8);
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    AppendUtf16(text, out);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(text, out);
    return out;
}

} // namespace tarn
