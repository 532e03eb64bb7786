#include "machine/image/shelllink.h"

#include "utility/text/format.h"

#include <cstring>
#include <string_view>

namespace tarn::image {

namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint32_t kHasIdList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kStringFlags[] = {0x4, 0x8, 0x10, 0x20, 0x40};
constexpr std::uint32_t kDarwinBlock = 0xA0000006;
constexpr std::size_t kDarwinAnsiBytes = 260;
constexpr std::string_view kBase85 =
    "!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~";

struct Reader {
    std::span<const std::uint8_t> data;

    std::optional<std::uint32_t> U(std::size_t at, std::size_t size) const {
        if (at > data.size() || data.size() - at < size) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        std::memcpy(&value, data.data() + at, size);
        return value;
    }
    // A terminated string of 8-bit (Latin-1 read) or 16-bit units, within [at, end).
    std::u16string Text(std::size_t at, std::size_t end, bool wide) const {
        std::u16string text;
        const std::size_t unit = wide ? 2 : 1;
        for (std::optional<std::uint32_t> c = U(at, unit); c && *c != 0 && at + unit <= end;
             c = U(at += unit, unit)) {
            text.push_back(static_cast<char16_t>(*c));
        }
        return text;
    }
};

// The local path of the link info at `at`: base path and suffix, the Unicode forms when given.
std::u16string LocalPath(const Reader& r, std::size_t at) {
    const auto size = r.U(at, 4), headerSize = r.U(at + 4, 4), flags = r.U(at + 8, 4);
    if (!size || !headerSize || !flags || (*flags & 1) == 0) {
        return {};
    }
    const std::size_t end = at + *size;
    const bool wide = *headerSize >= 0x24;
    const auto base = r.U(at + (wide ? 0x1C : 0x10), 4);
    const auto suffix = r.U(at + (wide ? 0x20 : 0x18), 4);
    if (!base || !suffix) {
        return {};
    }
    return r.Text(at + *base, end, wide) + r.Text(at + *suffix, end, wide);
}

// The descriptor "<product><feature>><component>" or "<product><feature><".
void ReadDescriptor(std::u16string_view descriptor, ShortcutTarget& target) {
    const std::optional<std::u16string> product = UnpackGuid(descriptor.substr(0, 20));
    if (!product) {
        return;
    }
    std::u16string_view rest = descriptor.substr(20);
    const std::size_t mark = rest.find_first_of(u"<>");
    target.advertised = true;
    target.productCode = *product;
    target.featureId = std::u16string(rest.substr(0, mark));
    if (mark != std::u16string_view::npos && rest[mark] == u'>') {
        target.componentCode = UnpackGuid(rest.substr(mark + 1, 20)).value_or(u"");
    }
}

} // namespace

std::optional<std::u16string> UnpackGuid(std::u16string_view packed) {
    if (packed.size() != 20) {
        return std::nullopt;
    }
    std::uint32_t words[4] = {};
    for (int w = 3; w >= 0; --w) {
        std::uint64_t value = 0;
        for (int d = 4; d >= 0; --d) {
            const char16_t c = packed[static_cast<std::size_t>(w * 5 + d)];
            const std::size_t digit = c < 0x80 ? kBase85.find(static_cast<char>(c)) : kBase85.npos;
            if (digit == kBase85.npos) {
                return std::nullopt;
            }
            value = value * 85 + digit;
        }
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
        words[w] = static_cast<std::uint32_t>(value);
    }
    std::uint8_t b[16];
    std::memcpy(b, words, sizeof b);
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0, data3 = 0;
    std::memcpy(&data1, b, 4);
    std::memcpy(&data2, b + 4, 2);
    std::memcpy(&data3, b + 6, 2);
    return FormatString(40, u"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2,
                        data3, b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

std::optional<ShortcutTarget> ReadShortcut(std::span<const std::uint8_t> file) {
    const Reader r{file};
    const auto header = r.U(0, 4), flags = r.U(0x14, 4);
    if (!header || *header != kHeaderSize || !flags) {
        return std::nullopt;
    }
    ShortcutTarget target;
    std::size_t at = kHeaderSize;
    if ((*flags & kHasIdList) != 0) {
        const auto size = r.U(at, 2);
        if (!size) {
            return std::nullopt;
        }
        at += 2 + *size;
    }
    if ((*flags & kHasLinkInfo) != 0) {
        const auto size = r.U(at, 4);
        if (!size) {
            return std::nullopt;
        }
        target.localPath = LocalPath(r, at);
        at += *size;
    }
    const std::size_t unit = (*flags & kIsUnicode) != 0 ? 2 : 1;
    for (const std::uint32_t present : kStringFlags) {
        if ((*flags & present) != 0) {
            const auto count = r.U(at, 2);
            if (!count) {
                return std::nullopt;
            }
            at += 2 + *count * unit;
        }
    }
    // Extra data blocks up to the terminal one (a size below 4).
    for (auto size = r.U(at, 4); size && *size >= 8; at += *size, size = r.U(at, 4)) {
        if (r.U(at + 4, 4) == kDarwinBlock) {
            const std::size_t wide = at + 8 + kDarwinAnsiBytes;
            std::u16string descriptor = r.Text(wide, at + *size, true);
            if (descriptor.empty()) {
                descriptor = r.Text(at + 8, wide, false);
            }
            ReadDescriptor(descriptor, target);
        }
    }
    return target;
}

} // namespace tarn::image
