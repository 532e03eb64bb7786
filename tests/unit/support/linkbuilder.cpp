#include "support/linkbuilder.h"

#include <cstring>

namespace tarn::test {

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t value, std::size_t size) {
    const std::size_t at = b.size();
    b.resize(at + size);
    std::memcpy(b.data() + at, &value, size);
}

} // namespace

// The packed form of a GUID's memory image, the inverse of UnpackGuid.
std::string Pack(const std::uint32_t (&words)[4]) {
    static const char digits[] =
        "!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~";
    std::string packed;
    for (std::uint32_t word : words) {
        for (int d = 0; d < 5; ++d, word /= 85) {
            packed += digits[word % 85];
        }
    }
    return packed;
}

// A link: header with flags, optional link info (local base path + suffix, ANSI), optional
// Darwin block with `descriptor` in both forms, terminal block.
Bytes Link(const std::string& base, const std::string& suffix, const std::string& descriptor) {
    Bytes b;
    Put(b, 0x4C, 4);
    b.resize(0x14);
    Put(b, (base.empty() ? 0 : 0x2) | (descriptor.empty() ? 0 : 0x1000) | 0x80, 4);
    b.resize(0x4C);
    if (!base.empty()) {
        const std::uint32_t baseAt = 0x1C,
                            suffixAt = baseAt + static_cast<std::uint32_t>(base.size()) + 1;
        Put(b, suffixAt + static_cast<std::uint32_t>(suffix.size()) + 1, 4);
        for (const std::uint32_t v : {0x1Cu, 1u, 0u, baseAt, 0u, suffixAt}) {
            Put(b, v, 4);
        }
        b.insert(b.end(), base.begin(), base.end());
        b.push_back(0);
        b.insert(b.end(), suffix.begin(), suffix.end());
        b.push_back(0);
    }
    if (!descriptor.empty()) {
        Put(b, 0x314, 4);
        Put(b, 0xA0000006, 4);
        Bytes ansi(260), wide(520);
        std::memcpy(ansi.data(), descriptor.data(), descriptor.size());
        for (std::size_t i = 0; i < descriptor.size(); ++i) {
            wide[i * 2] = static_cast<std::uint8_t>(descriptor[i]);
        }
        b.insert(b.end(), ansi.begin(), ansi.end());
        b.insert(b.end(), wide.begin(), wide.end());
    }
    Put(b, 0, 4);
    return b;
}

} // namespace tarn::test
