#include "support/pebuilder.h"

#include <cstring>
#include <string>

namespace tarn::test {

namespace {

using Bytes = std::vector<std::uint8_t>;

void Align(Bytes& b) {
    b.resize((b.size() + 3) & ~std::size_t{3});
}

// A version block: length, value length, type, key, value, children, each part 4-aligned.
Bytes Block(std::u16string_view key, const Bytes& value, std::uint16_t type,
            const std::vector<Bytes>& children = {}) {
    Bytes b(6);
    for (const char16_t c : std::u16string(key) + u'\0') {
        Put(b, b.size(), c, 2);
    }
    Align(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        Align(b);
        b.insert(b.end(), child.begin(), child.end());
    }
    Put(b, 0, static_cast<std::uint32_t>(b.size()), 2);
    Put(b, 2, static_cast<std::uint32_t>(value.size()), 2);
    Put(b, 4, type, 2);
    return b;
}

} // namespace

void Put(Bytes& b, std::size_t at, std::uint32_t value, int size) {
    if (b.size() < at + size) {
        b.resize(at + size);
    }
    std::memcpy(b.data() + at, &value, size);
}

Bytes VersionInfoResource(bool translated, std::uint32_t ms, std::uint32_t ls) {
    Bytes fixed(52);
    Put(fixed, 0, 0xFEEF04BD, 4);
    Put(fixed, 8, ms, 4);
    Put(fixed, 12, ls, 4);
    std::vector<Bytes> children;
    if (translated) {
        children.push_back(
            Block(u"VarFileInfo", {}, 1, {Block(u"Translation", {9, 4, 0xB0, 4}, 0)}));
    }
    return Block(u"VS_VERSION_INFO", fixed, 0, children);
}

Bytes PeImageWithResource(const Bytes& resource, std::uint16_t magic) {
    Bytes b(0x200);
    b[0] = 'M';
    b[1] = 'Z';
    Put(b, 0x3C, 0x40, 4);
    Put(b, 0x40, 0x4550, 4);
    Put(b, 0x46, 1, 2); // one section
    const std::uint32_t optional = magic == 0x20B ? 0xF0 : 0xE0;
    Put(b, 0x54, optional, 2);
    Put(b, 0x58, magic, 2);
    Put(b, 0x58 + (magic == 0x20B ? 112 : 96) + 16, 0x1000, 4); // resource directory
    const std::size_t section = 0x58 + optional;
    Put(b, section + 8, 0x58 + static_cast<std::uint32_t>(resource.size()), 4);
    Put(b, section + 12, 0x1000, 4);
    Put(b, section + 16, 0x58 + static_cast<std::uint32_t>(resource.size()), 4);
    Put(b, section + 20, 0x200, 4);
    const std::size_t r = 0x200;
    const std::uint32_t levels[][2] = {{16, 0x80000018}, {1, 0x80000030}, {0x409, 0x48}};
    for (std::size_t i = 0; i < 3; ++i) {
        Put(b, r + i * 0x18 + 14, 1, 2);
        Put(b, r + i * 0x18 + 16, levels[i][0], 4);
        Put(b, r + i * 0x18 + 20, levels[i][1], 4);
    }
    Put(b, r + 0x48, 0x1058, 4);
    Put(b, r + 0x4C, static_cast<std::uint32_t>(resource.size()), 4);
    b.resize(r + 0x58);
    b.insert(b.end(), resource.begin(), resource.end());
    return b;
}

} // namespace tarn::test
