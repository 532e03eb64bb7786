// Document-order walks over pugixml trees without recursion, so that depth costs no stack.
#pragma once

#include <pugixml.hpp>

namespace tarn::xml::pugi_backend {

// Where loading dropped whitespace-only text, an empty text node stays behind as a mark: the
// DOM shows no node there, but an element's text puts one blank where it was (see text.h).
inline bool IsDroppedWhitespace(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata && *node.value() == '\0';
}

// The first of `node` and its following siblings that the DOM shows, or an empty node.
inline pugi::xml_node ShownFrom(pugi::xml_node node) {
    while (node && IsDroppedWhitespace(node)) {
        node = node.next_sibling();
    }
    return node;
}

// The next node after `node` in document order within the subtree of `root`, or an empty node
// after the last. Starting from `root` itself gives its first descendant.
inline pugi::xml_node NextInSubtree(pugi::xml_node node, pugi::xml_node root) {
    if (pugi::xml_node child = node.first_child()) {
        return child;
    }
    while (node != root && !node.next_sibling()) {
        node = node.parent();
    }
    return node == root ? pugi::xml_node() : node.next_sibling();
}

} // namespace tarn::xml::pugi_backend
