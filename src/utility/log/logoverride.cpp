#include "utility/log/logoverride.h"

#include "utility/text/format.h"
#include "utility/text/strings.h"

namespace tarn::logoverride {

namespace {

constexpr std::size_t kWidth = 8;

} // namespace

std::optional<std::uint32_t> ParseHex(std::u16string_view text) noexcept {
    std::size_t at = 0;
    while (at < text.size() && IsCrtSpace(text[at])) {
        ++at;
    }
    const std::u16string_view field = text.substr(at, kWidth);
    std::size_t i = 0;
    const bool negative = i < field.size() && field[i] == u'-';
    if (i < field.size() && (field[i] == u'-' || field[i] == u'+')) {
        ++i;
    }
    if (i + 2 < field.size() && field[i] == u'0' &&
        (field[i + 1] == u'x' || field[i + 1] == u'X') && HexDigitValue(field[i + 2]) >= 0) {
        i += 2;
    }
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (; i < field.size() && HexDigitValue(field[i]) >= 0; ++i, ++digits) {
        value = (value << 4) | static_cast<std::uint32_t>(HexDigitValue(field[i]));
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return negative ? 0u - value : value;
}

std::uint32_t FromText(std::u16string_view text) noexcept {
    const std::optional<std::uint32_t> value = ParseHex(text);
    return value ? *value & kMask : kNone;
}

std::u16string ToText(std::uint32_t value) {
    return FormatString(9, u"%08X", value);
}

} // namespace tarn::logoverride
