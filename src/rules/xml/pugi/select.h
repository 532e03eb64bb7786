// The first node that a selection expression matches. A child element by name ("Prereqs") and
// an attribute by name ("@version") are found directly; every other expression, the
// descendant searches "//ruleset" and "//detection/expression" included, goes through
// pugixml's XPath, whose internal walk over the whole tree is several times faster than one
// through pugixml's public node interface (and, like it, uses no recursion).
#pragma once

#include <pugixml.hpp>

#include <string_view>

namespace tarn::xml::pugi_backend {

// An empty xpath_node when nothing matches. Throws pugi::xpath_exception when the expression
// is not valid or does not select nodes, std::bad_alloc when memory runs out.
pugi::xpath_node SelectFirst(const pugi::xpath_node& context, std::u16string_view expression);

} // namespace tarn::xml::pugi_backend
