#include "rules/xml/pugi/wellformed.h"

#include "rules/xml/pugi/traverse.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::xml::pugi_backend {

namespace {

bool IsXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::uint32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16 && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (base == 16 && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "#65" or "#x41": the character, or false when it is no valid XML character.
bool DecodeCharacterReference(std::string_view body, std::string& out) {
    int base = 10;
    body.remove_prefix(1);
    if (!body.empty() && body.front() == 'x') {
        base = 16;
        body.remove_prefix(1);
    }
    if (body.empty()) {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : body) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return false;
        }
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
        if (value > 0x10FFFF) {
            return false;
        }
    }
    if (!IsXmlChar(value)) {
        return false;
    }
    AppendUtf8(value, out);
    return true;
}

// The text between '&' and ';'.
bool DecodeReference(std::string_view body, std::string& out) {
    static constexpr struct {
        std::string_view name;
        char replacement;
    } kPredefined[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& entity : kPredefined) {
        if (body == entity.name) {
            out += entity.replacement;
            return true;
        }
    }
    return !body.empty() && body.front() == '#' && DecodeCharacterReference(body, out);
}

constexpr std::size_t kDecoded = std::string_view::npos;

// `raw` with every reference replaced into `out`: kDecoded, or the index of the '&' of the
// first reference that is undefined or malformed.
std::size_t DecodeReferences(std::string_view raw, std::string& out) {
    out.clear();
    out.reserve(raw.size());
    std::size_t pos = 0;
    while (pos < raw.size()) {
        const std::size_t amp = raw.find('&', pos);
        if (amp == std::string_view::npos) {
            out.append(raw.substr(pos));
            break;
        }
        out.append(raw.substr(pos, amp - pos));
        const std::size_t semicolon = raw.find(';', amp);
        if (semicolon == std::string_view::npos ||
            !DecodeReference(raw.substr(amp + 1, semicolon - amp - 1), out)) {
            return amp;
        }
        pos = semicolon + 1;
    }
    return kDecoded;
}

class Checker {
public:
    Violation Run(pugi::xml_document& document) {
        if (CheckTopLevel(document)) {
            CheckDescendants(document);
        }
        return violation_;
    }

private:
    // `within` counts from the start of the node's markup (its name for an element).
    bool Fail(const char* what, const pugi::xml_node& node, std::size_t within = 0) {
        const std::ptrdiff_t offset = node.offset_debug();
        const std::ptrdiff_t start = node.type() == pugi::node_element ? offset - 1 : offset;
        violation_ = {what, offset < 0 ? offset : start + static_cast<std::ptrdiff_t>(within)};
        return false;
    }

    bool CheckTopLevel(const pugi::xml_document& document) {
        int elements = 0;
        for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
            switch (child.type()) {
            case pugi::node_element:
                if (++elements > 1) {
                    return Fail("Only one top level element is allowed", child);
                }
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                return Fail("Text is not allowed outside the document element", child);
            case pugi::node_declaration:
                if (child != document.first_child()) {
                    return Fail("The XML declaration must come first in the document", child);
                }
                break;
            default:
                break;
            }
        }
        return elements == 1 || Fail("No document element found", document);
    }

    void CheckDescendants(const pugi::xml_document& document) {
        pugi::xml_node node = NextInSubtree(document, document);
        while (node && Check(node)) {
            node = NextInSubtree(node, document);
        }
    }

    bool Check(pugi::xml_node node) {
        switch (node.type()) {
        case pugi::node_element:
            return CheckAttributes(node);
        case pugi::node_pcdata:
            return CheckText(node);
        case pugi::node_comment:
            return CheckComment(node);
        default:
            return true;
        }
    }

    bool CheckText(pugi::xml_node node) {
        const std::string_view raw = node.value();
        if (raw.find("]]>") != std::string_view::npos) {
            return Fail("The text ']]>' is not allowed in content", node);
        }
        if (raw.find('&') == std::string_view::npos) {
            return true;
        }
        if (const std::size_t bad = DecodeReferences(raw, scratch_); bad != kDecoded) {
            return Fail("Undefined entity or invalid character reference", node, bad);
        }
        if (!node.set_value(scratch_.c_str(), scratch_.size())) {
            throw std::bad_alloc();
        }
        return true;
    }

    bool CheckComment(pugi::xml_node node) {
        const std::string_view text = node.value();
        if (text.find("--") != std::string_view::npos || (!text.empty() && text.back() == '-')) {
            return Fail("The text '--' is not allowed in a comment", node);
        }
        return true;
    }

    bool CheckAttributes(pugi::xml_node element) {
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
            const std::string_view raw = a.value();
            if (raw.find('<') != std::string_view::npos) {
                return Fail("The character '<' is not allowed in an attribute value", element);
            }
            if (raw.find('&') == std::string_view::npos) {
                continue;
            }
            if (DecodeReferences(raw, scratch_) != kDecoded) {
                return Fail("Undefined entity or invalid character reference", element);
            }
            if (!a.set_value(scratch_.c_str(), scratch_.size())) {
                throw std::bad_alloc();
            }
        }
        return !HasDuplicateAttribute(element) || Fail("Duplicate attribute", element);
    }

    bool HasDuplicateAttribute(pugi::xml_node element) {
        names_.clear();
        for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
            names_.emplace_back(a.name());
        }
        if (names_.size() < 2) {
            return false;
        }
        std::sort(names_.begin(), names_.end());
        return std::adjacent_find(names_.begin(), names_.end()) != names_.end();
    }

    Violation violation_;
    std::string scratch_;
    std::vector<std::string_view> names_;
};

} // namespace

Violation CheckAndDecode(pugi::xml_document& document) {
    return Checker().Run(document);
}

} // namespace tarn::xml::pugi_backend
