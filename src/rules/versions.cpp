#include "rules/versions.h"

#include "utility/log/comerror.h"
#include "utility/text/strings.h"

namespace tarn::rules {

namespace {

constexpr bool IsSeparator(char16_t c) noexcept {
    return c == u' ' || c == u'.' || c == u',';
}

constexpr std::uint32_t kMaxPart = 0xFFFFFFFFu;

// One token read as an unsigned decimal number, the way the C runtime's wcstoul does.
std::uint32_t ReadPart(std::u16string_view token) noexcept {
    std::size_t i = 0;
    while (i < token.size() && IsCrtSpace(token[i])) {
        ++i;
    }
    bool negative = false;
    if (i < token.size() && (token[i] == u'+' || token[i] == u'-')) {
        negative = token[i] == u'-';
        ++i;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < token.size() && token[i] >= u'0' && token[i] <= u'9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(token[i] - u'0');
        if (value > kMaxPart) {
            overflow = true;
            value = kMaxPart;
        }
    }
    if (overflow) {
        return kMaxPart;
    }
    const auto part = static_cast<std::uint32_t>(value);
    return negative ? 0u - part : part;
}

using Relation = bool (*)(PackedVersion actual, PackedVersion reference, PackedVersion lower);

struct Operator {
    std::u16string_view name;
    Relation holds;
};

// Tried in this order.
constexpr Operator kOperators[] = {
    {u"LOWER", [](PackedVersion a, PackedVersion r, PackedVersion) { return a < r; }},
    {u"LOWER_OR_SAME", [](PackedVersion a, PackedVersion r, PackedVersion) { return a <= r; }},
    {u"HIGHER_OR_SAME", [](PackedVersion a, PackedVersion r, PackedVersion) { return a >= r; }},
    {u"HIGHER", [](PackedVersion a, PackedVersion r, PackedVersion) { return a > r; }},
    {u"SAME", [](PackedVersion a, PackedVersion r, PackedVersion) { return a == r; }},
    {u"BETWEEN",
     [](PackedVersion a, PackedVersion r, PackedVersion l) { return l <= a && a <= r; }},
};

} // namespace

PackedVersion ParseVersionString(std::u16string_view text) noexcept {
    // The text ends at its first NUL, as a C string would.
    text = text.substr(0, text.find(u'\0'));
    std::uint32_t parts[4] = {};
    std::size_t pos = 0;
    for (std::uint32_t& part : parts) {
        while (pos < text.size() && IsSeparator(text[pos])) {
            ++pos;
        }
        if (pos == text.size()) {
            break;
        }
        std::size_t end = pos;
        while (end < text.size() && !IsSeparator(text[end])) {
            ++end;
        }
        part = ReadPart(text.substr(pos, end - pos));
        pos = end;
    }
    const std::uint32_t high = (parts[0] << 16) | parts[1];
    const std::uint32_t low = (parts[2] << 16) | parts[3];
    return (static_cast<PackedVersion>(high) << 32) | low;
}

bool ReadVersionCondition(const xml::Node& element, VersionCondition& condition) {
    condition.reference = 0;
    condition.lower = 0;
    const xml::Node comparison = element.SelectSingleNode(u"@Comparison");
    if (!comparison) {
        return false;
    }
    condition.comparison = comparison.Text();
    const xml::Node version = element.SelectSingleNode(u"@version");
    if (!version) {
        return false;
    }
    const std::u16string versionText = version.Text();
    if (versionText.empty()) {
        return false;
    }
    condition.reference = ParseVersionString(versionText);
    if (const xml::Node lower = element.SelectSingleNode(u"@versionLower")) {
        condition.lower = ParseVersionString(lower.Text());
    }
    return true;
}

HRESULT CompareVersions(PackedVersion actual, PackedVersion reference,
                        std::optional<std::u16string_view> comparison, PackedVersion lower) {
    if (!comparison) {
        return E_INVALIDARG;
    }
    for (const Operator& op : kOperators) {
        if (EqualsAsciiNoCase(*comparison, op.name)) {
            return op.holds(actual, reference, lower) ? S_OK : S_FALSE;
        }
    }
    RaiseComErrorFormat(E_FAIL, u"CompareVersions() Unknown comparison type : '%ws'", *comparison);
}

} // namespace tarn::rules
