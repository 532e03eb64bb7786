// Document-order walks over pugixml trees without recursion, so that depth costs no stack.
#pragma once

#include <pugixml.hpp>

namespace tarn::xml::pugi_backend {

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
