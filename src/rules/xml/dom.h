// XML document access for the rule evaluation: exactly the DOM operations that rule and
// detection documents need, over one backend per platform (MSXML on Windows, pugixml
// elsewhere). Every failing backend call raises a _com_error carrying the backend's HRESULT;
// a required interface that comes back empty raises E_POINTER. "No match" and "no such
// attribute" are not failures: they give an empty Node.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarn::xml {

// Node types as the DOM numbers them.
enum class NodeType : int {
    Other = 0,
    Element = 1,
    Attribute = 2,
    Text = 3,
    CData = 4,
    ProcessingInstruction = 7,
    Comment = 8,
    Document = 9,
};

class Node;
class NodeList;

// A backend's node operations. Handles are opaque to callers; `aux` is backend-defined extra
// state of a handle (for example a cursor or a kind tag). Retain/Release let a backend count
// references; backends whose nodes are owned by their document do nothing there.
class NodeBackend {
public:
    struct Handle {
        void* node = nullptr;
        void* aux = nullptr;
    };

    virtual void Retain(Handle h) const noexcept = 0;
    virtual void Release(Handle h) const noexcept = 0;

    virtual std::u16string Name(Handle h) const = 0;
    virtual NodeType Type(Handle h) const = 0;
    virtual Handle FirstChild(Handle h) const = 0;
    virtual Handle ChildNodes(Handle h) const = 0;
    virtual Handle Attribute(Handle h, std::u16string_view name) const = 0;
    virtual std::u16string Text(Handle h) const = 0;
    virtual std::u16string TypedValueText(Handle h) const = 0;
    virtual std::u16string Xml(Handle h) const = 0;
    virtual Handle SelectSingleNode(Handle h, std::u16string_view expression) const = 0;

    // Child lists: a list handle is a cursor; Next moves it.
    virtual long ListLength(Handle list) const = 0;
    virtual void ListReset(Handle& list) const = 0;
    virtual Handle ListNext(Handle& list) const = 0;

protected:
    ~NodeBackend() = default;
};

// A counted reference to one DOM node (element, attribute, text, comment, ...), or empty.
class Node {
public:
    Node() noexcept = default;
    // Adopts the reference that `h` carries.
    Node(const NodeBackend* backend, NodeBackend::Handle h) noexcept
        : backend_(h.node != nullptr ? backend : nullptr), handle_(h) {}
    Node(const Node& other) noexcept : backend_(other.backend_), handle_(other.handle_) {
        if (backend_ != nullptr) {
            backend_->Retain(handle_);
        }
    }
    Node(Node&& other) noexcept : backend_(other.backend_), handle_(other.handle_) {
        other.backend_ = nullptr;
        other.handle_ = {};
    }
    Node& operator=(Node other) noexcept {
        std::swap(backend_, other.backend_);
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~Node() {
        if (backend_ != nullptr) {
            backend_->Release(handle_);
        }
    }

    explicit operator bool() const noexcept { return backend_ != nullptr; }

    // The DOM node name: an element's or attribute's name as written, "#text", "#comment",
    // "#cdata-section", or a processing instruction's target.
    std::u16string Name() const { return backend_->Name(handle_); }
    NodeType Type() const { return backend_->Type(handle_); }
    Node FirstChild() const { return Node(backend_, backend_->FirstChild(handle_)); }
    NodeList ChildNodes() const;
    // The attribute of that exact name, or an empty Node. A node that has no attribute map
    // (text, CDATA, comment, instruction) raises E_POINTER, as a missing interface does.
    Node Attribute(std::u16string_view name) const {
        return Node(backend_, backend_->Attribute(handle_, name));
    }
    // An attribute's value; a text node's value trimmed; for an element the text and CDATA of
    // its descendants, with white space trimmed at both ends where it comes from text.
    std::u16string Text() const { return backend_->Text(handle_); }
    // The node's typed value converted to text (for untyped documents, its text).
    std::u16string TypedValueText() const { return backend_->TypedValueText(handle_); }
    // The node's own markup, well-formed.
    std::u16string Xml() const { return backend_->Xml(handle_); }
    // First match of an XPath expression relative to this node, or an empty Node.
    Node SelectSingleNode(std::u16string_view expression) const {
        return Node(backend_, backend_->SelectSingleNode(handle_, expression));
    }

private:
    const NodeBackend* backend_ = nullptr;
    NodeBackend::Handle handle_{};
};

// A node's children in document order, walked with a cursor.
class NodeList {
public:
    NodeList(const NodeBackend* backend, NodeBackend::Handle h) noexcept
        : backend_(backend), handle_(h) {}
    NodeList(const NodeList&) = delete;
    NodeList& operator=(const NodeList&) = delete;
    NodeList(NodeList&& other) noexcept : backend_(other.backend_), handle_(other.handle_) {
        other.backend_ = nullptr;
        other.handle_ = {};
    }
    ~NodeList() {
        if (backend_ != nullptr) {
            backend_->Release(handle_);
        }
    }

    long Length() const { return backend_->ListLength(handle_); }
    void Reset() { backend_->ListReset(handle_); }
    // The next child, or an empty Node after the last.
    Node NextNode() { return Node(backend_, backend_->ListNext(handle_)); }

private:
    const NodeBackend* backend_;
    NodeBackend::Handle handle_;
};

inline NodeList Node::ChildNodes() const {
    return NodeList(backend_, backend_->ChildNodes(handle_));
}

// One parsed document, owned by one evaluation.
class Document {
public:
    virtual ~Document() = default;

    virtual void SetAsync(bool async) = 0;
    // Parses the text; false when it is not well-formed XML (see ParseErrorReason).
    virtual bool LoadXml(std::u16string_view text) = 0;
    virtual std::u16string ParseErrorReason() const = 0;
    virtual Node DocumentElement() const = 0;
    virtual Node SelectSingleNode(std::u16string_view expression) const = 0;
};

// Creates an empty document of this platform's backend. Never raises: a failure comes back as
// its HRESULT and no document, for the caller to word.
struct CreateResult {
    std::int32_t hr;
    std::unique_ptr<Document> document;
};
CreateResult TryCreateDocument() noexcept;

} // namespace tarn::xml
