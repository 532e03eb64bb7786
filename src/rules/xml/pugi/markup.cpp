#include "rules/xml/pugi/markup.h"

#include <algorithm>
#include <string_view>

namespace tarn::xml::pugi_backend {

namespace {

// The entity or character reference that stands for `c`, or null when `c` stays as it is.
// In attribute values white space is escaped too, so that it survives normalisation.
const char* EscapeFor(char c, bool attribute) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return attribute ? nullptr : "&gt;";
    case '"':
        return attribute ? "&quot;" : nullptr;
    case '\r':
        return "&#13;";
    case '\n':
        return attribute ? "&#10;" : nullptr;
    case '\t':
        return attribute ? "&#9;" : nullptr;
    default:
        return nullptr;
    }
}

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
    const char* const specials = attribute ? "&<\"\r\n\t" : "&<>\r";
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t special = std::min(text.find_first_of(specials, pos), text.size());
        out.append(text.substr(pos, special - pos));
        if (special < text.size()) {
            out += EscapeFor(text[special], attribute);
        }
        pos = special + 1;
    }
}

void AppendAttribute(std::string& out, pugi::xml_attribute a) {
    out += a.name();
    out += "=\"";
    AppendEscaped(out, a.value(), true);
    out += '"';
}

void AppendAttributes(std::string& out, pugi::xml_node node) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        out += ' ';
        AppendAttribute(out, a);
    }
}

void AppendProcessingInstruction(std::string& out, pugi::xml_node node) {
    out += "<?";
    out += node.name();
    if (*node.value() != '\0') {
        out += ' ';
        out += node.value();
    }
    out += "?>";
}

// The markup that opens a node; an element without children is closed here too.
void AppendOpening(std::string& out, pugi::xml_node node) {
    switch (node.type()) {
    case pugi::node_element:
        out += '<';
        out += node.name();
        AppendAttributes(out, node);
        out += node.first_child() ? ">" : "/>";
        break;
    case pugi::node_pcdata:
        AppendEscaped(out, node.value(), false);
        break;
    case pugi::node_cdata:
        out += "<![CDATA[";
        out += node.value();
        out += "]]>";
        break;
    case pugi::node_comment:
        out += "<!--";
        out += node.value();
        out += "-->";
        break;
    case pugi::node_pi:
        AppendProcessingInstruction(out, node);
        break;
    case pugi::node_declaration:
        out += "<?xml";
        AppendAttributes(out, node);
        out += "?>";
        break;
    default:
        break;
    }
}

void AppendClosing(std::string& out, pugi::xml_node node) {
    if (node.type() == pugi::node_element && node.first_child()) {
        out += "</";
        out += node.name();
        out += '>';
    }
}

} // namespace

std::string MarkupOf(pugi::xml_node root) {
    std::string out;
    AppendOpening(out, root);
    pugi::xml_node node = root.first_child();
    while (node) {
        AppendOpening(out, node);
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node != root && !node.next_sibling()) {
            node = node.parent();
            if (node != root) {
                AppendClosing(out, node);
            }
        }
        node = node == root ? pugi::xml_node() : node.next_sibling();
    }
    AppendClosing(out, root);
    return out;
}

std::string MarkupOf(pugi::xml_attribute attribute) {
    std::string out;
    AppendAttribute(out, attribute);
    return out;
}

} // namespace tarn::xml::pugi_backend
