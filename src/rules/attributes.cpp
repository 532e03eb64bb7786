#include "rules/attributes.h"

#include "utility/log/comerror.h"
#include "utility/text/strings.h"

namespace tarn::rules {

std::optional<std::u16string> AttributeText(const xml::Node& element, std::u16string_view name) {
    const xml::Node attribute = element.Attribute(name);
    if (!attribute) {
        return std::nullopt;
    }
    return attribute.Text();
}

bool IsSwitchedOff(const xml::Node& element, std::u16string_view name) {
    const std::optional<std::u16string> text = AttributeText(element, name);
    return text && EqualsAsciiNoCase(*text, u"FALSE");
}

std::u16string RequiredAttribute(const xml::Node& element, std::u16string_view name,
                                 const char16_t* missing) {
    std::optional<std::u16string> text = AttributeText(element, name);
    if (!text) {
        RaiseComError(E_FAIL, missing);
    }
    return std::move(*text);
}

} // namespace tarn::rules
