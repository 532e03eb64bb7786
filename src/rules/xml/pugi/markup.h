// The text and the serialised markup of pugixml nodes, both in UTF-8 and both computed without
// recursion, so that documents nested to any depth are safe.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace tarn::xml::pugi_backend {

// The DOM text of a node: for elements and the document the text and CDATA of every
// descendant in document order, with white space trimmed at both ends where it comes from text
// (CDATA is kept as it is); for a text node its value trimmed; for CDATA, comments and
// processing instructions their value; for the XML declaration its pseudo-attributes.
std::string TextOf(pugi::xml_node node);

// Well-formed markup of the node and its descendants, without added indentation.
std::string MarkupOf(pugi::xml_node node);
// name="value" of one attribute.
std::string MarkupOf(pugi::xml_attribute attribute);

} // namespace tarn::xml::pugi_backend
