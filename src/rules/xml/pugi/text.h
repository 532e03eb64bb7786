// The DOM text of pugixml nodes, in UTF-8, as the platform DOM computes it:
// - a text node: its value without leading and trailing white space;
// - an attribute: its value, or nothing when the value is only white space;
// - CDATA, comments and processing instructions: their value as it stands;
// - an element or the document: the text and CDATA of the descendants in document order, a
//   blank put between two pieces where loading dropped whitespace-only text, then trimmed at
//   both ends but never into CDATA; under xml:space="preserve" nothing is trimmed.
// Computed without recursion, so that documents nested to any depth are safe.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace tarn::xml::pugi_backend {

std::string TextOf(pugi::xml_node node);
std::string TextOf(pugi::xml_attribute attribute);

// Whether xml:space="preserve" is in force for `element`: the nearest xml:space of "preserve"
// or "default" on it or an ancestor decides; other values are passed over.
bool PreservesWhitespace(pugi::xml_node element);

bool IsXmlSpace(char c);
bool IsAllXmlSpace(const char* text);

} // namespace tarn::xml::pugi_backend
