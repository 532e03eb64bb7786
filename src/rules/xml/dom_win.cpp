// The DOM over MSXML's free-threaded document. Node handles are counted IXMLDOMNode
// references ({IXMLDOMNode*, null}); a child list is {IXMLDOMNodeList*, null}. Every failed
// call raises its HRESULT with the object's error information; a required interface that
// comes back empty raises E_POINTER.
#include "rules/xml/dom.h"

#include "utility/log/comerror.h"
#include "utility/platform/bstr.h"
#include "utility/platform/comptr.h"
#include "utility/platform/variant.h"
#include "utility/platform/wintypes.h"

#include <msxml2.h>

#include <new>

namespace tarn::xml {

namespace {

using Handle = NodeBackend::Handle;

// The version-independent free-threaded DOM document class.
constexpr CLSID kFreeThreadedDomDocument = {
    0x2933BF91, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

IXMLDOMNode* NodeOf(Handle h) {
    return static_cast<IXMLDOMNode*>(h.node);
}
IXMLDOMNodeList* ListOf(Handle h) {
    return static_cast<IXMLDOMNodeList*>(h.node);
}
// Hands the reference that `node` holds to a handle.
Handle Adopt(ComPtr<IXMLDOMNode>& node) {
    return {node.Detach(), nullptr};
}

void Check(HRESULT hr, IUnknown* object, REFIID iid) {
    if (FAILED(hr)) {
        IssueComErrorEx(hr, object, iid);
    }
}

template <class T>
T* Required(const ComPtr<T>& p) {
    if (!p) {
        IssueComError(E_POINTER);
    }
    return p.Get();
}

// Runs `work`, turning exhausted memory into E_OUTOFMEMORY.
template <class Work>
auto Guarded(Work work) -> decltype(work()) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        IssueComError(E_OUTOFMEMORY);
    }
}

Bstr CopyText(std::u16string_view text) {
    return Guarded([&] { return Bstr::Copy(text); });
}

std::u16string TextOf(const Bstr& text) {
    return Guarded([&] { return text.String(); });
}

class MsxmlBackend final : public NodeBackend {
public:
    void Retain(Handle h) const noexcept override {
        if (h.node != nullptr) {
            static_cast<IUnknown*>(h.node)->AddRef();
        }
    }
    void Release(Handle h) const noexcept override {
        if (h.node != nullptr) {
            static_cast<IUnknown*>(h.node)->Release();
        }
    }

    std::u16string Name(Handle h) const override {
        Bstr name;
        Check(NodeOf(h)->get_nodeName(name.Out()), NodeOf(h), IID_IXMLDOMNode);
        return TextOf(name);
    }
    NodeType Type(Handle h) const override {
        DOMNodeType type = NODE_INVALID;
        Check(NodeOf(h)->get_nodeType(&type), NodeOf(h), IID_IXMLDOMNode);
        return static_cast<NodeType>(type);
    }
    Handle FirstChild(Handle h) const override {
        ComPtr<IXMLDOMNode> child;
        Check(NodeOf(h)->get_firstChild(child.Out()), NodeOf(h), IID_IXMLDOMNode);
        return Adopt(child);
    }
    Handle ChildNodes(Handle h) const override {
        ComPtr<IXMLDOMNodeList> list;
        Check(NodeOf(h)->get_childNodes(list.Out()), NodeOf(h), IID_IXMLDOMNode);
        Required(list);
        return {list.Detach(), nullptr};
    }
    Handle Attribute(Handle h, std::u16string_view name) const override {
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        Check(NodeOf(h)->get_attributes(attributes.Out()), NodeOf(h), IID_IXMLDOMNode);
        IXMLDOMNamedNodeMap* map = Required(attributes);
        const Bstr wanted = CopyText(name);
        ComPtr<IXMLDOMNode> attribute;
        Check(map->getNamedItem(wanted.Get(), attribute.Out()), map, IID_IXMLDOMNamedNodeMap);
        return Adopt(attribute);
    }
    std::u16string Text(Handle h) const override {
        Bstr text;
        Check(NodeOf(h)->get_text(text.Out()), NodeOf(h), IID_IXMLDOMNode);
        return TextOf(text);
    }
    std::u16string TypedValueText(Handle h) const override {
        Variant value;
        Check(NodeOf(h)->get_nodeTypedValue(value.Out()), NodeOf(h), IID_IXMLDOMNode);
        Variant text;
        const HRESULT hr =
            VariantChangeType(text.Out(), const_cast<VARIANT*>(&value.Get()), 0, VT_BSTR);
        if (FAILED(hr)) {
            IssueComError(hr);
        }
        return Guarded([&] { return std::u16string(BstrView(text.Get().bstrVal)); });
    }
    std::u16string Xml(Handle h) const override {
        Bstr xml;
        Check(NodeOf(h)->get_xml(xml.Out()), NodeOf(h), IID_IXMLDOMNode);
        return TextOf(xml);
    }
    Handle SelectSingleNode(Handle h, std::u16string_view expression) const override {
        const Bstr query = CopyText(expression);
        ComPtr<IXMLDOMNode> selected;
        Check(NodeOf(h)->selectSingleNode(query.Get(), selected.Out()), NodeOf(h), IID_IXMLDOMNode);
        return Adopt(selected);
    }

    long ListLength(Handle list) const override {
        long length = 0;
        Check(ListOf(list)->get_length(&length), ListOf(list), IID_IXMLDOMNodeList);
        return length;
    }
    void ListReset(Handle& list) const override {
        Check(ListOf(list)->reset(), ListOf(list), IID_IXMLDOMNodeList);
    }
    Handle ListNext(Handle& list) const override {
        ComPtr<IXMLDOMNode> next;
        Check(ListOf(list)->nextNode(next.Out()), ListOf(list), IID_IXMLDOMNodeList);
        return Adopt(next);
    }
};

const MsxmlBackend kBackend;

class MsxmlDocument final : public Document {
public:
    explicit MsxmlDocument(ComPtr<IXMLDOMDocument> document) : document_(std::move(document)) {}

    void SetAsync(bool async) override {
        Check(document_->put_async(async ? VARIANT_TRUE : VARIANT_FALSE), document_.Get(),
              IID_IXMLDOMDocument);
    }
    bool LoadXml(std::u16string_view text) override {
        const Bstr xml = CopyText(text);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        Check(document_->loadXML(xml.Get(), &loaded), document_.Get(), IID_IXMLDOMDocument);
        return loaded == VARIANT_TRUE;
    }
    std::u16string ParseErrorReason() const override {
        ComPtr<IXMLDOMParseError> error;
        Check(document_->get_parseError(error.Out()), document_.Get(), IID_IXMLDOMDocument);
        Bstr reason;
        Check(Required(error)->get_reason(reason.Out()), error.Get(), IID_IXMLDOMParseError);
        return TextOf(reason);
    }
    Node DocumentElement() const override {
        ComPtr<IXMLDOMElement> element;
        Check(document_->get_documentElement(element.Out()), document_.Get(), IID_IXMLDOMDocument);
        return Node(&kBackend, {static_cast<IXMLDOMNode*>(element.Detach()), nullptr});
    }
    Node SelectSingleNode(std::u16string_view expression) const override {
        return Node(&kBackend,
                    kBackend.SelectSingleNode({static_cast<IXMLDOMNode*>(document_.Get()), nullptr},
                                              expression));
    }

private:
    ComPtr<IXMLDOMDocument> document_;
};

HRESULT CreateDomDocument(ComPtr<IXMLDOMDocument>& document) noexcept {
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(kFreeThreadedDomDocument, nullptr, CLSCTX_ALL, IID_IUnknown,
                                  unknown.OutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    if (!unknown) {
        return E_POINTER;
    }
    hr = OleRun(unknown.Get());
    if (FAILED(hr)) {
        return hr;
    }
    hr = unknown.As(IID_IXMLDOMDocument, document);
    if (SUCCEEDED(hr) && !document) {
        hr = E_POINTER;
    }
    return hr;
}

} // namespace

CreateResult TryCreateDocument() noexcept {
    ComPtr<IXMLDOMDocument> document;
    const HRESULT hr = CreateDomDocument(document);
    if (FAILED(hr)) {
        return {hr, nullptr};
    }
    try {
        return {S_OK, std::make_unique<MsxmlDocument>(std::move(document))};
    } catch (const std::bad_alloc&) {
        return {E_OUTOFMEMORY, nullptr};
    }
}

} // namespace tarn::xml
