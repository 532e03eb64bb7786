#include "rules/xml/pugi/select.h"

#include "utility/text/strings.h"

#include <string>

namespace tarn::xml::pugi_backend {

namespace {

bool IsNameStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}

bool IsNameChar(char16_t c) {
    return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

// A name without prefix, which XPath reads as a plain name test.
bool IsSimpleName(std::u16string_view text) {
    if (text.empty() || !IsNameStart(text.front())) {
        return false;
    }
    for (const char16_t c : text) {
        if (!IsNameChar(c)) {
            return false;
        }
    }
    return true;
}

pugi::xpath_node FirstChildElement(pugi::xml_node parent, const std::string& name) {
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element && name == n.name()) {
            return n;
        }
    }
    return {};
}

// The node of an attribute context is empty: an attribute has no children and no attributes.
pugi::xpath_node AttributeOf(pugi::xml_node element, const std::string& name) {
    if (element.type() != pugi::node_element) {
        return {};
    }
    const pugi::xml_attribute attribute = element.attribute(name.c_str());
    return attribute ? pugi::xpath_node(attribute, element) : pugi::xpath_node();
}

[[noreturn]] void RejectExpression(const char* why) {
    pugi::xpath_parse_result result;
    result.error = why;
    throw pugi::xpath_exception(result);
}

} // namespace

pugi::xpath_node SelectFirst(const pugi::xpath_node& context, std::u16string_view expression) {
    if (IsSimpleName(expression)) {
        return FirstChildElement(context.node(), Utf16ToUtf8(expression));
    }
    if (expression.starts_with(u'@') && IsSimpleName(expression.substr(1))) {
        return AttributeOf(context.node(), Utf16ToUtf8(expression.substr(1)));
    }
    if (expression.find(u'\0') != std::u16string_view::npos) {
        RejectExpression("Expression contains a NUL character");
    }
    const pugi::xpath_query query(Utf16ToUtf8(expression).c_str());
    return query.evaluate_node(context);
}

} // namespace tarn::xml::pugi_backend
