#include "rules/xml/pugi/select.h"

#include "rules/xml/pugi/traverse.h"
#include "utility/text/strings.h"

#include <optional>
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

bool IsElementNamed(pugi::xml_node node, std::u16string_view name) {
    return node.type() == pugi::node_element && NameIs(node.name(), name);
}

pugi::xpath_node FirstChildElement(pugi::xml_node parent, std::u16string_view name) {
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
        if (IsElementNamed(n, name)) {
            return n;
        }
    }
    return {};
}

// The node of an attribute context is empty: an attribute has no children and no attributes.
pugi::xpath_node AttributeOf(pugi::xml_node element, std::u16string_view name) {
    if (element.type() != pugi::node_element) {
        return {};
    }
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        if (NameIs(a.name(), name)) {
            return pugi::xpath_node(a, element);
        }
    }
    return {};
}

// "//name" or "//parent/name": the first element of that name anywhere in the document (whose
// parent element has that name), in document order.
struct DescendantPath {
    std::u16string_view parent; // empty: any parent
    std::u16string_view name;
};

std::optional<DescendantPath> ParseDescendantPath(std::u16string_view expression) {
    if (!expression.starts_with(u"//")) {
        return std::nullopt;
    }
    expression.remove_prefix(2);
    const std::size_t slash = expression.find(u'/');
    const std::u16string_view parent =
        slash == std::u16string_view::npos ? std::u16string_view() : expression.substr(0, slash);
    const std::u16string_view name =
        slash == std::u16string_view::npos ? expression : expression.substr(slash + 1);
    if (!IsSimpleName(name) || (slash != std::u16string_view::npos && !IsSimpleName(parent))) {
        return std::nullopt;
    }
    return DescendantPath{parent, name};
}

// Rule documents keep the element sought near their start, so a walk that stops at the first
// match beats compiling a query.
pugi::xpath_node FirstDescendant(const pugi::xpath_node& context, const DescendantPath& path) {
    const pugi::xml_node root = (context.node() ? context.node() : context.parent()).root();
    for (pugi::xml_node n = NextInSubtree(root, root); n; n = NextInSubtree(n, root)) {
        if (IsElementNamed(n, path.name) &&
            (path.parent.empty() || IsElementNamed(n.parent(), path.parent))) {
            return n;
        }
    }
    return {};
}

[[noreturn]] void RejectExpression(const char* why) {
    pugi::xpath_parse_result result;
    result.error = why;
    throw pugi::xpath_exception(result);
}

} // namespace

bool NameIs(const char* utf8, std::u16string_view name) {
    std::size_t i = 0;
    for (; i < name.size(); ++i) {
        const auto unit = static_cast<unsigned char>(utf8[i]);
        if (unit >= 0x80 || name[i] >= 0x80) {
            return Utf8ToUtf16(utf8 + i) == name.substr(i);
        }
        if (unit != name[i]) { // also ends at the tree name's terminator
            return false;
        }
    }
    return utf8[i] == '\0';
}

pugi::xpath_node SelectFirst(const pugi::xpath_node& context, std::u16string_view expression) {
    if (IsSimpleName(expression)) {
        return FirstChildElement(context.node(), expression);
    }
    if (expression.starts_with(u'@') && IsSimpleName(expression.substr(1))) {
        return AttributeOf(context.node(), expression.substr(1));
    }
    if (const std::optional<DescendantPath> path = ParseDescendantPath(expression)) {
        return FirstDescendant(context, *path);
    }
    if (expression.find(u'\0') != std::u16string_view::npos) {
        RejectExpression("Expression contains a NUL character");
    }
    const pugi::xpath_query query(Utf16ToUtf8(expression).c_str());
    return query.evaluate_node(context);
}

} // namespace tarn::xml::pugi_backend
