// The XML declaration, checked on the raw text before pugixml parses it (pugixml reads the
// pseudo-attributes as ordinary attributes and would accept them in any order or form).
#pragma once

#include <cstddef>
#include <string_view>

namespace tarn::xml::pugi_backend {

struct DeclarationFault {
    const char* what = nullptr; // null when the declaration is valid or there is none
    std::size_t index = 0;      // where in the text the fault is
};

// `text` starts after a byte order mark. Leading white space is allowed before the declaration.
// A declaration is version="1.x", then optionally encoding="name" (a name the platform knows)
// and standalone="yes" or "no", in this order, separated by white space.
DeclarationFault CheckDeclaration(std::u16string_view text);

} // namespace tarn::xml::pugi_backend
