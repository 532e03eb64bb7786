// Rule document files as bytes to text: UTF-8 with or without a byte order mark, or UTF-16
// (little or big endian) with one. Text without a UTF-16 mark is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tarn::eval {

struct DecodedText {
    bool ok = false;
    std::u16string text;
    std::string error; // why the bytes are no text, when !ok
};

DecodedText DecodeDocument(std::string_view bytes);

} // namespace tarn::eval
