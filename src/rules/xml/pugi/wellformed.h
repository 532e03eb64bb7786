// The well-formedness checks that pugixml leaves out, run over a freshly parsed tree, and the
// replacement of entity and character references (parsed with pugixml's own replacement off,
// so that an undefined entity or a bad character reference can be told from escaped text).
#pragma once

#include <pugixml.hpp>

#include <cstddef>

namespace tarn::xml::pugi_backend {

struct Violation {
    const char* what = nullptr; // null when the tree is well-formed
    std::ptrdiff_t offset = -1; // in the parsed UTF-8 buffer; -1 when unknown
};

// Checks every node of `document` and replaces the references in text and attribute values.
// Throws std::bad_alloc when memory runs out.
Violation CheckAndDecode(pugi::xml_document& document);

} // namespace tarn::xml::pugi_backend
