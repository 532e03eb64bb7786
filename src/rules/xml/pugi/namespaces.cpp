#include "rules/xml/pugi/namespaces.h"

namespace tarn::xml::pugi_backend {

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

struct QName {
    std::string_view prefix; // empty when there is none
    std::string_view local;
    bool valid = false;
};

QName Split(std::string_view name) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) {
        return {{}, name, !name.empty()};
    }
    const std::string_view local = name.substr(colon + 1);
    return {name.substr(0, colon), local,
            colon > 0 && !local.empty() && local.find(':') == std::string_view::npos};
}

} // namespace

const char* NamespaceScopes::Enter(pugi::xml_node element) {
    marks_.push_back(bindings_.size());
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        if (const char* fault = Declare(a.name(), a.value())) {
            return fault;
        }
    }
    return CheckNames(element);
}

void NamespaceScopes::Leave() {
    bindings_.resize(marks_.back());
    marks_.pop_back();
}

const char* NamespaceScopes::Declare(std::string_view name, std::string_view uri) {
    if (name == "xmlns") {
        return uri == kXmlNamespace || uri == kXmlnsNamespace
                   ? "The default namespace cannot be a reserved namespace"
                   : nullptr;
    }
    if (!name.starts_with("xmlns:")) {
        return nullptr;
    }
    const QName declared = Split(name);
    if (!declared.valid || declared.local == "xmlns" || uri == kXmlnsNamespace ||
        (declared.local == "xml") != (uri == kXmlNamespace)) {
        return "Reserved namespace prefixes and names cannot be declared so";
    }
    if (uri.empty()) {
        return "A namespace prefix cannot be declared empty";
    }
    bindings_.emplace_back(declared.local, uri);
    return nullptr;
}

bool NamespaceScopes::Find(std::string_view prefix, std::string_view& uri) const {
    if (prefix == "xml") {
        uri = kXmlNamespace;
        return true;
    }
    for (auto b = bindings_.rbegin(); b != bindings_.rend(); ++b) {
        if (b->first == prefix) {
            uri = b->second;
            return true;
        }
    }
    return false;
}

const char* NamespaceScopes::CheckNames(pugi::xml_node element) {
    const QName name = Split(element.name());
    std::string_view uri;
    if (!name.valid || name.prefix == "xmlns") {
        return "The name is not a valid qualified name";
    }
    if (!name.prefix.empty() && !Find(name.prefix, uri)) {
        return "Reference to an undeclared namespace prefix";
    }
    expanded_.clear();
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        const QName attribute = Split(a.name());
        if (!attribute.valid) {
            return "The name is not a valid qualified name";
        }
        if (attribute.prefix.empty() || attribute.prefix == "xmlns") {
            continue;
        }
        if (!Find(attribute.prefix, uri)) {
            return "Reference to an undeclared namespace prefix";
        }
        for (const auto& [seenUri, seenLocal] : expanded_) {
            if (seenUri == uri && seenLocal == attribute.local) {
                return "Duplicate attribute";
            }
        }
        expanded_.emplace_back(uri, attribute.local);
    }
    return nullptr;
}

} // namespace tarn::xml::pugi_backend
