// The first node that a selection expression matches. The forms the rules use are found
// directly, without recursion: a child element by name ("Prereqs"), an attribute by name
// ("@version") and a descendant element anywhere in the document ("//ruleset",
// "//detection/expression"); every other expression goes through pugixml's XPath.
#pragma once

#include <pugixml.hpp>

#include <string_view>

namespace tarn::xml::pugi_backend {

// Whether a name of the tree (UTF-8) is `name`; compared in place, as names are mostly ASCII.
bool NameIs(const char* utf8, std::u16string_view name);

// An empty xpath_node when nothing matches. Throws pugi::xpath_exception when the expression
// is not valid or does not select nodes, std::bad_alloc when memory runs out.
pugi::xpath_node SelectFirst(const pugi::xpath_node& context, std::u16string_view expression);

} // namespace tarn::xml::pugi_backend
