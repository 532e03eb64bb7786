#include "rules/xml/pugi/text.h"

#include "rules/xml/pugi/traverse.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace tarn::xml::pugi_backend {

namespace {

constexpr std::size_t kNoCData = std::numeric_limits<std::size_t>::max();

// One element's text while its children are walked. Positions are within `text`: where the
// first CDATA starts and where the last one ends, for the final trim.
struct Piece {
    pugi::xml_node node;
    pugi::xml_node next; // the child to take next
    bool preserving = false;
    std::string text;
    std::size_t firstCData = kNoCData;
    std::size_t lastCData = 0;
    bool afterDroppedWhitespace = false;
};

// Appends a child's contribution; a blank stands for whitespace dropped before it, but only
// between two pieces of text. CDATA counts even when empty.
void Contribute(Piece& piece, std::string_view text, bool cdata) {
    if (text.empty() && !cdata) {
        return;
    }
    if (piece.afterDroppedWhitespace && !piece.text.empty()) {
        piece.text += ' ';
    }
    std::size_t position = piece.text.size();
    piece.text += text;
    if (cdata && position < piece.firstCData) {
        piece.firstCData = position;
    }
    position += text.size();
    if (cdata && position > piece.lastCData) {
        piece.lastCData = position;
    }
    piece.afterDroppedWhitespace = false;
}

// A finished child element's text joins its parent's. The CDATA bounds are carried over from
// where the child's text starts before any blank is put in front of it, as the platform does.
void Absorb(Piece& parent, const Piece& child) {
    const std::size_t position = parent.text.size();
    if (child.firstCData != kNoCData && position + child.firstCData < parent.firstCData) {
        parent.firstCData = position + child.firstCData;
    }
    if (child.lastCData != 0 && position + child.lastCData > parent.lastCData) {
        parent.lastCData = position + child.lastCData;
    }
    Contribute(parent, child.text, false);
    if (!parent.afterDroppedWhitespace) {
        parent.afterDroppedWhitespace = child.afterDroppedWhitespace;
    }
}

// Takes one child that is not an element.
void TakeLeaf(Piece& piece, pugi::xml_node child) {
    switch (child.type()) {
    case pugi::node_pcdata:
        if (IsDroppedWhitespace(child) || (!piece.preserving && IsAllXmlSpace(child.value()))) {
            piece.afterDroppedWhitespace = true;
        } else {
            Contribute(piece, child.value(), false);
        }
        break;
    case pugi::node_cdata:
        Contribute(piece, child.value(), true);
        break;
    default:
        break; // comments, instructions and the declaration add nothing
    }
}

Piece Open(pugi::xml_node node, bool preserving) {
    Piece piece;
    piece.node = node;
    piece.next = node.first_child();
    piece.preserving = preserving;
    return piece;
}

// An element's own xml:space decides, else it inherits its parent's setting.
bool PreservesWithin(pugi::xml_node element, bool parentPreserves) {
    const char* space = element.attribute("xml:space").value();
    return std::strcmp(space, "preserve") == 0 ||
           (std::strcmp(space, "default") != 0 && parentPreserves);
}

Piece ContentText(pugi::xml_node root) {
    std::vector<Piece> open;
    open.push_back(Open(root, root.type() == pugi::node_element && PreservesWhitespace(root)));
    for (;;) {
        Piece& piece = open.back();
        if (!piece.next) {
            if (open.size() == 1) {
                return std::move(piece);
            }
            Piece done = std::move(piece);
            open.pop_back();
            Absorb(open.back(), done);
            continue;
        }
        const pugi::xml_node child = piece.next;
        piece.next = child.next_sibling();
        if (child.type() == pugi::node_element) {
            open.push_back(Open(child, PreservesWithin(child, piece.preserving)));
        } else {
            TakeLeaf(piece, child);
        }
    }
}

// Trims white space at both ends, but never into CDATA.
std::string Trimmed(Piece piece) {
    const std::string& text = piece.text;
    std::size_t begin = 0;
    while (begin < text.size() && begin < piece.firstCData && IsXmlSpace(text[begin])) {
        ++begin;
    }
    const std::size_t keepTo = piece.lastCData > begin ? piece.lastCData : begin;
    std::size_t end = text.size();
    while (end > keepTo && IsXmlSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

} // namespace

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsAllXmlSpace(const char* text) {
    for (; *text != '\0'; ++text) {
        if (!IsXmlSpace(*text)) {
            return false;
        }
    }
    return true;
}

bool PreservesWhitespace(pugi::xml_node element) {
    for (pugi::xml_node e = element; e.type() == pugi::node_element; e = e.parent()) {
        const std::string_view space = e.attribute("xml:space").value();
        if (space == "preserve" || space == "default") {
            return space == "preserve";
        }
    }
    return false;
}

std::string TextOf(pugi::xml_node node) {
    switch (node.type()) {
    case pugi::node_pcdata: {
        Piece piece;
        piece.text = node.value();
        return Trimmed(std::move(piece));
    }
    case pugi::node_element:
    case pugi::node_document: {
        Piece piece = ContentText(node);
        return piece.preserving ? std::move(piece.text) : Trimmed(std::move(piece));
    }
    default:
        return node.value();
    }
}

std::string TextOf(pugi::xml_attribute attribute) {
    const char* value = attribute.value();
    return IsAllXmlSpace(value) ? std::string() : std::string(value);
}

} // namespace tarn::xml::pugi_backend
