// The DOM over pugixml. Node handles are plain pointers into the document's tree: a node is
// {xml_node_struct*, null}, an attribute {xml_attribute_struct*, its element's xml_node_struct*};
// a child list is {parent's xml_node_struct*, cursor}. Nothing is allocated or counted per
// handle, so handles live exactly as long as their document.
#include "rules/xml/pugi/document.h"

#include "rules/xml/pugi/markup.h"
#include "rules/xml/pugi/parse.h"
#include "rules/xml/pugi/select.h"
#include "rules/xml/pugi/text.h"
#include "rules/xml/pugi/traverse.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include <pugixml.hpp>

#include <new>

namespace tarn::xml::pugi_backend {

namespace {

using Handle = NodeBackend::Handle;

pugi::xml_node NodeOf(Handle h) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(h.node));
}
bool IsAttribute(Handle h) {
    return h.aux != nullptr;
}
pugi::xml_attribute AttributeOf(Handle h) {
    return pugi::xml_attribute(static_cast<pugi::xml_attribute_struct*>(h.node));
}
pugi::xml_node OwnerOf(Handle attribute) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(attribute.aux));
}

Handle HandleOf(pugi::xml_node node) {
    return {node.internal_object(), nullptr};
}
Handle HandleOf(const pugi::xpath_node& selected) {
    if (selected.attribute()) {
        return {selected.attribute().internal_object(), selected.parent().internal_object()};
    }
    return HandleOf(selected.node());
}
pugi::xpath_node XPathNodeOf(Handle h) {
    return IsAttribute(h) ? pugi::xpath_node(AttributeOf(h), OwnerOf(h))
                          : pugi::xpath_node(NodeOf(h));
}

// Runs `work`, turning exhausted memory into E_OUTOFMEMORY and a rejected expression into
// E_FAIL, as the platform DOM reports them.
template <class Work>
auto Guarded(Work work) -> decltype(work()) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        IssueComError(E_OUTOFMEMORY);
    } catch (const pugi::xpath_exception&) {
        IssueComError(E_FAIL);
    }
}

std::u16string NodeName(pugi::xml_node node) {
    switch (node.type()) {
    case pugi::node_document:
        return u"#document";
    case pugi::node_pcdata:
        return u"#text";
    case pugi::node_cdata:
        return u"#cdata-section";
    case pugi::node_comment:
        return u"#comment";
    case pugi::node_declaration:
        return u"xml";
    default:
        return Utf8ToUtf16(node.name());
    }
}

NodeType TypeOf(pugi::xml_node node) {
    switch (node.type()) {
    case pugi::node_element:
        return NodeType::Element;
    case pugi::node_pcdata:
        return NodeType::Text;
    case pugi::node_cdata:
        return NodeType::CData;
    case pugi::node_pi:
    case pugi::node_declaration:
        return NodeType::ProcessingInstruction;
    case pugi::node_comment:
        return NodeType::Comment;
    case pugi::node_document:
        return NodeType::Document;
    default:
        return NodeType::Other;
    }
}

// Elements and the XML declaration have attribute maps; other nodes have none, and asking them
// for an attribute fails as a missing required interface does.
pugi::xml_node AttributeOwner(Handle h) {
    const pugi::xml_node node = IsAttribute(h) ? pugi::xml_node() : NodeOf(h);
    if (node.type() != pugi::node_element && node.type() != pugi::node_declaration) {
        IssueComError(E_POINTER);
    }
    return node;
}

Handle FindAttribute(Handle h, std::u16string_view name) {
    const pugi::xml_node owner = AttributeOwner(h);
    for (pugi::xml_attribute a = owner.first_attribute(); a; a = a.next_attribute()) {
        if (NameIs(a.name(), name)) {
            return {a.internal_object(), owner.internal_object()};
        }
    }
    return {};
}

class PugiBackend final : public NodeBackend {
public:
    void Retain(Handle) const noexcept override {}
    void Release(Handle) const noexcept override {}

    std::u16string Name(Handle h) const override {
        return Guarded([&] {
            return IsAttribute(h) ? Utf8ToUtf16(AttributeOf(h).name()) : NodeName(NodeOf(h));
        });
    }
    NodeType Type(Handle h) const override {
        return IsAttribute(h) ? NodeType::Attribute : TypeOf(NodeOf(h));
    }
    Handle FirstChild(Handle h) const override {
        return IsAttribute(h) ? Handle{} : HandleOf(ShownFrom(NodeOf(h).first_child()));
    }
    Handle ChildNodes(Handle h) const override {
        return IsAttribute(h)
                   ? Handle{}
                   : Handle{h.node, ShownFrom(NodeOf(h).first_child()).internal_object()};
    }
    Handle Attribute(Handle h, std::u16string_view name) const override {
        return Guarded([&] { return FindAttribute(h, name); });
    }
    std::u16string Text(Handle h) const override {
        return Guarded([&] {
            return Utf8ToUtf16(IsAttribute(h) ? TextOf(AttributeOf(h)) : TextOf(NodeOf(h)));
        });
    }
    // An untyped attribute's value as it stands, white space and all.
    std::u16string TypedValueText(Handle h) const override {
        return IsAttribute(h) ? Guarded([&] { return Utf8ToUtf16(AttributeOf(h).value()); })
                              : Text(h);
    }
    std::u16string Xml(Handle h) const override {
        return Guarded([&] {
            return Utf8ToUtf16(IsAttribute(h) ? MarkupOf(AttributeOf(h)) : MarkupOf(NodeOf(h)));
        });
    }
    Handle SelectSingleNode(Handle h, std::u16string_view expression) const override {
        return Guarded([&] { return HandleOf(SelectFirst(XPathNodeOf(h), expression)); });
    }

    long ListLength(Handle list) const override {
        long length = 0;
        for (pugi::xml_node n = ShownFrom(NodeOf(list).first_child()); n;
             n = ShownFrom(n.next_sibling())) {
            ++length;
        }
        return length;
    }
    void ListReset(Handle& list) const override {
        list.aux = ShownFrom(NodeOf(list).first_child()).internal_object();
    }
    Handle ListNext(Handle& list) const override {
        const pugi::xml_node current(static_cast<pugi::xml_node_struct*>(list.aux));
        list.aux = ShownFrom(current.next_sibling()).internal_object();
        return HandleOf(current);
    }
};

const PugiBackend kBackend;

class PugiDocument final : public Document {
public:
    void SetAsync(bool) override {}

    bool LoadXml(std::u16string_view text) override {
        ParseOutcome outcome = Guarded([&] { return Parse(document_, text); });
        reason_ = std::move(outcome.reason);
        return outcome.loaded;
    }
    std::u16string ParseErrorReason() const override { return reason_; }
    Node DocumentElement() const override {
        return Node(&kBackend, HandleOf(document_.document_element()));
    }
    Node SelectSingleNode(std::u16string_view expression) const override {
        return Node(&kBackend, kBackend.SelectSingleNode(HandleOf(document_), expression));
    }

private:
    pugi::xml_document document_;
    std::u16string reason_;
};

} // namespace

CreateResult TryCreateDocument() noexcept {
    try {
        return {S_OK, std::make_unique<PugiDocument>()};
    } catch (const std::bad_alloc&) {
        return {E_OUTOFMEMORY, nullptr};
    }
}

} // namespace tarn::xml::pugi_backend
