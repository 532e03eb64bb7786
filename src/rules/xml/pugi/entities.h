// Entity and character references in text and attribute values. pugixml parses with its own
// replacement off, so that an undefined entity or a bad character reference can be told from
// escaped text; the references are replaced here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn::xml::pugi_backend {

// The general entities that a document type declaration's internal subset declares. An
// internal entity whose replacement is plain text stands in attribute values for that text;
// references to entities in content are not supported (the platform DOM keeps them as
// entity-reference nodes, which this backend has no counterpart for).
class EntityTable {
public:
    // Reads the declarations of a DOCTYPE node's value ("root [ <!ENTITY ...> ]").
    void Declare(std::string_view doctype);

    // The replacement text for an attribute value, or null when the entity is not declared or
    // cannot stand in one (external, markup, or references to other entities).
    const std::string* AttributeText(std::string_view name) const;

private:
    struct Entity {
        std::string name;
        std::string text;
        bool usable = false;
    };
    std::vector<Entity> entities_;
};

constexpr std::size_t kDecoded = std::string_view::npos;

// `raw` with every reference replaced into `out`: kDecoded, or the index of the '&' of the
// first reference that is undefined, malformed or not allowed there. `entities` is null in
// content, where only predefined entities and character references stand.
std::size_t DecodeReferences(std::string_view raw, const EntityTable* entities, std::string& out);

} // namespace tarn::xml::pugi_backend
