#include "rules/xml/pugi/wellformed.h"

#include "rules/xml/pugi/entities.h"
#include "rules/xml/pugi/namespaces.h"
#include "rules/xml/pugi/text.h"
#include "rules/xml/pugi/traverse.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::xml::pugi_backend {

namespace {

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

    // Outside the document element: white space (dropped), one declaration first of all, at
    // most one document type before the element, comments and instructions.
    bool CheckTopLevel(pugi::xml_document& document) {
        int elements = 0;
        int doctypes = 0;
        pugi::xml_node next;
        for (pugi::xml_node child = document.first_child(); child; child = next) {
            next = child.next_sibling();
            switch (child.type()) {
            case pugi::node_element:
                if (++elements > 1) {
                    return Fail("Only one top level element is allowed", child);
                }
                break;
            case pugi::node_pcdata:
                if (IsAllXmlSpace(child.value())) {
                    document.remove_child(child);
                    break;
                }
                [[fallthrough]];
            case pugi::node_cdata:
                return Fail("Text is not allowed outside the document element", child);
            case pugi::node_declaration: // pugixml takes any case of "xml" for one
                if (child != document.first_child() || std::string_view(child.name()) != "xml") {
                    return Fail("The XML declaration must come first in the document", child);
                }
                break;
            case pugi::node_doctype:
                if (++doctypes > 1 || elements > 0) {
                    return Fail("The document type must come once, before the element", child);
                }
                entities_.Declare(child.value());
                break;
            default:
                break;
            }
        }
        return elements == 1 || Fail("No document element found", document);
    }

    // Walks the tree in document order, keeping the namespaces and the xml:space setting of
    // the elements around each node.
    void CheckDescendants(const pugi::xml_document& document) {
        pugi::xml_node node = document.first_child();
        while (node) {
            if (!Check(node)) {
                return;
            }
            if (pugi::xml_node child = node.first_child()) {
                node = child;
                continue;
            }
            for (;;) {
                if (node.type() == pugi::node_element) {
                    Leave();
                }
                if (pugi::xml_node sibling = node.next_sibling()) {
                    node = sibling;
                    break;
                }
                node = node.parent();
                if (node == document) {
                    return;
                }
            }
        }
    }

    bool Check(pugi::xml_node node) {
        switch (node.type()) {
        case pugi::node_element:
            return Enter(node) && CheckAttributes(node);
        case pugi::node_pcdata:
            return CheckText(node);
        case pugi::node_comment:
            return CheckComment(node);
        default:
            return true;
        }
    }

    bool Enter(pugi::xml_node element) {
        const std::string_view space = element.attribute("xml:space").value();
        preserving_.push_back(space == "preserve" ||
                              (space != "default" && !preserving_.empty() && preserving_.back()));
        const char* fault = namespaces_.Enter(element);
        return fault == nullptr || Fail(fault, element);
    }

    void Leave() {
        preserving_.pop_back();
        namespaces_.Leave();
    }

    // Replaces the references; text that is then only white space is dropped (an empty node
    // marks where) unless xml:space="preserve" is in force.
    bool CheckText(pugi::xml_node node) {
        const std::string_view raw = node.value();
        if (raw.find("]]>") != std::string_view::npos) {
            return Fail("The text ']]>' is not allowed in content", node);
        }
        if (raw.find('&') != std::string_view::npos) {
            if (const std::size_t bad = DecodeReferences(raw, nullptr, scratch_); bad != kDecoded) {
                return Fail("Undefined entity or invalid character reference", node, bad);
            }
            if (!node.set_value(scratch_.c_str(), scratch_.size())) {
                throw std::bad_alloc();
            }
        }
        if (!preserving_.back() && IsAllXmlSpace(node.value()) && !node.set_value("")) {
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
            if (DecodeReferences(raw, &entities_, scratch_) != kDecoded) {
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
    EntityTable entities_;
    NamespaceScopes namespaces_;
    std::vector<bool> preserving_;
    std::string scratch_;
    std::vector<std::string_view> names_;
};

} // namespace

Violation CheckAndDecode(pugi::xml_document& document) {
    return Checker().Run(document);
}

} // namespace tarn::xml::pugi_backend
