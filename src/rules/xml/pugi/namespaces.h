// Namespace well-formedness, which the platform DOM enforces and pugixml does not know: every
// prefix used is declared (the xml prefix always is), names have at most one colon, the
// reserved prefixes and namespaces are bound only as they must be, and no element has two
// attributes of the same namespace and local name.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn::xml::pugi_backend {

class NamespaceScopes {
public:
    // Takes the element's declarations into scope and checks its names; null when they are
    // well-formed, else what is wrong. Every Enter is matched by a Leave, also after a fault.
    const char* Enter(pugi::xml_node element);
    void Leave();

private:
    const char* Declare(std::string_view name, std::string_view uri);
    const char* CheckNames(pugi::xml_node element);
    // The namespace of a prefix in scope, or false when it is not declared.
    bool Find(std::string_view prefix, std::string_view& uri) const;

    std::vector<std::pair<std::string_view, std::string_view>> bindings_;
    std::vector<std::size_t> marks_;
    std::vector<std::pair<std::string_view, std::string_view>> expanded_;
};

} // namespace tarn::xml::pugi_backend
