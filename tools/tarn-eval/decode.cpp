#include "decode.h"

#include "utility/text/strings.h"

namespace tarn::eval {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

DecodedText Utf16(std::string_view bytes, bool bigEndian) {
    DecodedText decoded;
    if (bytes.size() % 2 != 0) {
        decoded.error = "UTF-16 text with an odd number of bytes";
        return decoded;
    }
    decoded.text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        const unsigned unit = bigEndian ? (first << 8) | second : (second << 8) | first;
        decoded.text.push_back(static_cast<char16_t>(unit));
    }
    decoded.ok = true;
    return decoded;
}

} // namespace

DecodedText DecodeDocument(std::string_view bytes) {
    if (bytes.starts_with(kUtf16LeMark)) {
        return Utf16(bytes.substr(kUtf16LeMark.size()), false);
    }
    if (bytes.starts_with(kUtf16BeMark)) {
        return Utf16(bytes.substr(kUtf16BeMark.size()), true);
    }
    if (bytes.starts_with(kUtf8Mark)) {
        bytes.remove_prefix(kUtf8Mark.size());
    }
    return DecodedText{true, Utf8ToUtf16(bytes), {}};
}

} // namespace tarn::eval
