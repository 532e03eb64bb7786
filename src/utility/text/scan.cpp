#include "utility/text/scan.h"

#include "utility/text/strings.h"

namespace tarn {

namespace {

constexpr bool IsDigit(char16_t c) noexcept {
    return c >= u'0' && c <= u'9';
}

std::optional<std::uint32_t> ScanDecimal(std::u16string_view text, std::size_t width) noexcept {
    std::size_t at = 0;
    while (at < text.size() && IsCrtSpace(text[at])) {
        ++at;
    }
    const std::size_t end = width >= text.size() - at ? text.size() : at + width;
    bool negative = false;
    if (at < end && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }
    if (at >= end || !IsDigit(text[at])) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (; at < end && IsDigit(text[at]); ++at) {
        value = value * 10u + static_cast<std::uint32_t>(text[at] - u'0');
    }
    return negative ? 0u - value : value;
}

} // namespace

std::optional<std::int32_t> ScanInt32(std::u16string_view text) noexcept {
    const std::optional<std::uint32_t> value = ScanDecimal(text, kScanNoWidth);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

std::optional<std::uint32_t> ScanUInt32(std::u16string_view text, std::size_t width) noexcept {
    return ScanDecimal(text, width);
}

} // namespace tarn
