#include "rules/classid.h"

#include "utility/text/strings.h"

#include <cstdint>

namespace tarn::rules {

namespace {

constexpr std::size_t kRegistryFormLength = 38;
// Where the hexadecimal digits of each byte stand, in the order of the GUID's bytes as
// written: Data1 (4 bytes), Data2 (2), Data3 (2), then Data4 (8).
constexpr std::size_t kByteAt[16] = {1, 3, 5, 7, 10, 12, 15, 17, 20, 22, 25, 27, 29, 31, 33, 35};
constexpr std::size_t kHyphenAt[4] = {9, 14, 19, 24};

bool HasRegistryShape(std::u16string_view text) noexcept {
    if (text.size() != kRegistryFormLength || text.front() != u'{' || text.back() != u'}') {
        return false;
    }
    for (const std::size_t at : kHyphenAt) {
        if (text[at] != u'-') {
            return false;
        }
    }
    return true;
}

} // namespace

GUID ParseClassId(std::u16string_view text) noexcept {
    if (!HasRegistryShape(text)) {
        return GUID{};
    }
    std::uint8_t bytes[16];
    for (std::size_t i = 0; i < 16; ++i) {
        const int high = HexDigitValue(text[kByteAt[i]]);
        const int low = HexDigitValue(text[kByteAt[i] + 1]);
        if (high < 0 || low < 0) {
            return GUID{};
        }
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    GUID id{};
    id.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 |
               static_cast<std::uint32_t>(bytes[1]) << 16 |
               static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    id.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    id.Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (std::size_t i = 0; i < 8; ++i) {
        id.Data4[i] = bytes[8 + i];
    }
    return id;
}

std::u16string FormatClassId(const GUID& id) {
    constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const std::uint8_t bytes[16] = {static_cast<std::uint8_t>(id.Data1 >> 24),
                                    static_cast<std::uint8_t>(id.Data1 >> 16),
                                    static_cast<std::uint8_t>(id.Data1 >> 8),
                                    static_cast<std::uint8_t>(id.Data1),
                                    static_cast<std::uint8_t>(id.Data2 >> 8),
                                    static_cast<std::uint8_t>(id.Data2),
                                    static_cast<std::uint8_t>(id.Data3 >> 8),
                                    static_cast<std::uint8_t>(id.Data3),
                                    id.Data4[0],
                                    id.Data4[1],
                                    id.Data4[2],
                                    id.Data4[3],
                                    id.Data4[4],
                                    id.Data4[5],
                                    id.Data4[6],
                                    id.Data4[7]};
    std::u16string text(kRegistryFormLength, u'-');
    text.front() = u'{';
    text.back() = u'}';
    for (std::size_t i = 0; i < 16; ++i) {
        text[kByteAt[i]] = kDigits[bytes[i] >> 4];
        text[kByteAt[i] + 1] = kDigits[bytes[i] & 0xF];
    }
    return text;
}

} // namespace tarn::rules
