// Shortcut files from untrusted bytes, and installer codes in their packed form. A code that
// unpacks is always the 38 characters of a braced GUID.
#include "machine/image/shelllink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Unpack(std::u16string_view packed) {
    const std::optional<std::u16string> code = tarn::image::UnpackGuid(packed);
    if (code && (code->size() != 38 || code->front() != u'{' || code->back() != u'}')) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto target = tarn::image::ReadShortcut({data, size})) {
        Unpack(target->productCode);
        Unpack(target->componentCode);
    }
    // The input's first 40 bytes as the 20 characters of a packed code.
    std::u16string packed(std::min<std::size_t>(size / 2, 20), u'\0');
    std::memcpy(packed.data(), data, packed.size() * 2);
    Unpack(packed);
    return 0;
}
