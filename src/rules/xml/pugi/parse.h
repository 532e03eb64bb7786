// Loading a UTF-16 text into a pugixml tree so that it holds what the platform DOM would hold:
// whitespace-only text dropped (also when written as character references) unless
// xml:space="preserve" is in force, comments, processing instructions and CDATA kept,
// end-of-line and attribute whitespace normalised. pugixml accepts much that is not XML; the
// checks here reject it as the platform DOM does (the XML declaration, one document element, no
// text outside it, valid characters, defined entities and valid character references, no
// duplicate attributes, no '<' in attribute values, no "--" in comments, no "]]>" in text,
// declared namespace prefixes).
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace tarn::xml::pugi_backend {

struct ParseOutcome {
    bool loaded = false;
    std::u16string reason; // why the text is not XML, with line and column; empty when loaded
};

// Replaces the content of `document`; when the text is not loaded the document is left empty.
// Throws std::bad_alloc when memory runs out, leaving the document empty too.
ParseOutcome Parse(pugi::xml_document& document, std::u16string_view text);

} // namespace tarn::xml::pugi_backend
