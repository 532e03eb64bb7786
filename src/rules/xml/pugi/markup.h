// The serialised markup of pugixml nodes, in UTF-8, computed without recursion, so that
// documents nested to any depth are safe.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace tarn::xml::pugi_backend {

// Well-formed markup of the node and its descendants, without added indentation.
std::string MarkupOf(pugi::xml_node node);
// name="value" of one attribute.
std::string MarkupOf(pugi::xml_attribute attribute);

} // namespace tarn::xml::pugi_backend
