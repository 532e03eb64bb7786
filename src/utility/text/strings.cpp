#include "utility/text/strings.h"

#include "utility/text/utf.h"

#include <algorithm>
#include <limits>
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

std::int32_t ParseInt32Saturating(std::u16string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsCrtSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate the magnitude, stopping once it is past the range of either sign.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - u'0'), kLimit);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace tarn
