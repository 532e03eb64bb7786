// What the pugixml backend does beyond the conformance suite: depth and size that must not
// matter, exhausted memory, expressions that are not valid, and where a parse failure is.
#include "rules/xml/dom.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <memory>
#include <string>

namespace tarn::xml {
namespace {

std::unique_ptr<Document> Load(std::u16string_view text) {
    CreateResult created = TryCreateDocument();
    EXPECT_EQ(created.hr, S_OK);
    EXPECT_TRUE(created.document->LoadXml(text))
        << Utf16ToUtf8(created.document->ParseErrorReason());
    return std::move(created.document);
}

template <class Work>
HRESULT RaisedBy(Work work) {
    try {
        work();
    } catch (const _com_error& e) {
        return e.Error();
    }
    return S_OK;
}

// depth - 1 nested <d> elements around <leaf id="x">t</leaf>.
std::u16string Nested(int depth) {
    std::u16string text;
    for (int i = 1; i < depth; ++i) {
        text += u"<d>";
    }
    text += u"<leaf id=\"x\">t</leaf>";
    for (int i = 1; i < depth; ++i) {
        text += u"</d>";
    }
    return text;
}

// Every operation walks the tree without recursion: under the sanitizers a recursive walk
// overflows the stack long before 100,000 levels.
TEST(DomPugixml, NestingDepthCostsNoStack) {
    for (const int depth : {256, 1000, 10000, 100000}) {
        SCOPED_TRACE(depth);
        std::unique_ptr<Document> document = Load(Nested(depth));
        ASSERT_TRUE(document);
        const Node root = document->DocumentElement();
        EXPECT_EQ(document->SelectSingleNode(u"//leaf").Name(), u"leaf");
        EXPECT_EQ(root.SelectSingleNode(u"//d/leaf").Name(), u"leaf");
        EXPECT_EQ(document->SelectSingleNode(u"//leaf[@id='x']").Name(), u"leaf");
        EXPECT_EQ(root.Text(), u"t");
        const std::u16string markup = root.Xml();
        EXPECT_EQ(markup.size(), Nested(depth).size());
        EXPECT_EQ(Load(markup)->SelectSingleNode(u"//leaf").Text(), u"t");
        document.reset();
    }
}

TEST(DomPugixml, FiftyMegabyteDocumentLoads) {
    const std::u16string item = u"<item id=\"12345\" v=\"some value\">text &amp; more</item>\n";
    std::u16string text = u"<r>";
    long items = 0;
    for (; (text.size() + item.size()) * sizeof(char16_t) < (50u << 20); ++items) {
        text += item;
    }
    text += u"<ruleset id=\"last\"/></r>";
    const std::unique_ptr<Document> document = Load(text);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->SelectSingleNode(u"//ruleset").Attribute(u"id").Text(), u"last");
    EXPECT_EQ(document->DocumentElement().ChildNodes().Length(), items + 1);
}

// Makes pugixml's allocations fail from the given one on, for the life of the object.
class FailingAllocations {
public:
    explicit FailingAllocations(int allowed) {
        remaining_ = allowed;
        pugi::set_memory_management_functions(Allocate, std::free);
    }
    ~FailingAllocations() { pugi::set_memory_management_functions(std::malloc, std::free); }

private:
    static void* Allocate(std::size_t size) {
        return remaining_-- > 0 ? std::malloc(size) : nullptr;
    }
    static inline int remaining_ = 0;
};

TEST(DomPugixml, ExhaustedMemoryRaisesEOutOfMemory) {
    CreateResult created = TryCreateDocument();
    ASSERT_TRUE(created.document);
    Document& document = *created.document;
    {
        const FailingAllocations failing(0);
        EXPECT_EQ(RaisedBy([&] { document.LoadXml(u"<r><a/></r>"); }), E_OUTOFMEMORY);
    }
    EXPECT_FALSE(document.DocumentElement());
    ASSERT_TRUE(document.LoadXml(u"<r><a/></r>"));
    {
        const FailingAllocations failing(0);
        EXPECT_EQ(RaisedBy([&] { document.SelectSingleNode(u"//a[1]"); }), E_OUTOFMEMORY);
    }
    EXPECT_TRUE(document.SelectSingleNode(u"//a[1]"));
}

TEST(DomPugixml, ExpressionsThatAreNotValidRaiseEFail) {
    const std::unique_ptr<Document> document = Load(u"<r><a/></r>");
    const std::u16string expressions[] = {u"]]",   u"",     u"//",  u"a[", u"@",        u"(",
                                          u"a==b", u"//a/", u"a b", u"$x", {u"a\0b", 3}};
    for (const std::u16string& expression : expressions) {
        EXPECT_EQ(RaisedBy([&] { document->SelectSingleNode(expression); }), E_FAIL)
            << Utf16ToUtf8(expression);
    }
}

TEST(DomPugixml, ParseErrorReasonSaysWhereTheTextStopsBeingXml) {
    const struct {
        const char16_t* text;
        const char16_t* reason;
    } cases[] = {
        {u"<a>\n  <b></c>\n</a>", u"Start-end tags mismatch at line 2, column 8."},
        {u"<a>\r\n<b>\u0001</b></a>", u"Invalid character at line 2, column 4."},
        {u"<a/>\n<b/>", u"Only one top level element is allowed at line 2, column 1."},
        {u"<a>\n\n  &nope;</a>",
         u"Undefined entity or invalid character reference at line 3, column 3."},
        {u"<a x='1'\n x='2'/>", u"Duplicate attribute at line 1, column 1."},
        {u" \n<?xml version=\"2.0\"?><a/>",
         u"The XML declaration needs version=\"1.0\" at line 2, column 20."},
        {u"<\u00E9\U0001F600>&#xD800;</\u00E9\U0001F600>",
         u"Undefined entity or invalid character reference at line 1, column 6."},
    };
    for (const auto& c : cases) {
        CreateResult created = TryCreateDocument();
        EXPECT_FALSE(created.document->LoadXml(c.text));
        EXPECT_EQ(created.document->ParseErrorReason(), c.reason) << Utf16ToUtf8(c.text);
    }
}

TEST(DomPugixml, ByteOrderMarkAndDocumentTypeDeclarationAreAccepted) {
    EXPECT_EQ(Load(u"\uFEFF<a/>")->DocumentElement().Name(), u"a");
    EXPECT_EQ(Load(u"<!DOCTYPE r><r/>")->DocumentElement().Name(), u"r");
    // Internal entities stand in attribute values: the first declaration binds, white space
    // becomes blanks, comments and parameter entities of the subset are passed over.
    const std::u16string entities[][2] = {
        {u"<!DOCTYPE r [<!ENTITY e \"x&#9;y\">]><r v=\"&e;\"/>", u"x y"},
        {u"<!DOCTYPE r [<!ENTITY % p 'x'><!-- <!ENTITY e 'no'> --><!ENTITY e 'a&amp;b'>"
         u"<!ENTITY e 'second'>]><r v='&e;'/>",
         u"a&b"},
    };
    for (const auto& [text, value] : entities) {
        EXPECT_EQ(Load(text)->DocumentElement().Attribute(u"v").Text(), value);
    }
}

// Wine's DOM loads these, but Windows rejects namespace errors; entity references in content
// would need entity-reference nodes, which this backend does not have.
TEST(DomPugixml, NamespaceErrorsAndEntitiesInContentAreNotLoaded) {
    const char16_t* const documents[] = {
        u"<r><a:b/></r>",
        u"<r a:x=\"1\"/>",
        u"<r xmlns:a=\"\"/>",
        u"<r xmlns:xml=\"urn:x\"/>",
        u"<r xmlns:xmlns=\"urn:x\"/>",
        u"<a:b:c xmlns:a=\"urn:a\"/>",
        u"<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>",
        u"<!DOCTYPE r [<!ENTITY e \"&#60;b/>\">]><r v=\"&e;\"/>",
    };
    for (const char16_t* text : documents) {
        CreateResult created = TryCreateDocument();
        EXPECT_FALSE(created.document->LoadXml(text)) << Utf16ToUtf8(text);
    }
}

// Selections the backend answers without XPath compare names in place; names outside ASCII
// and names that only share a prefix must still be told apart exactly.
TEST(DomPugixml, DirectSelectionsCompareWholeNames) {
    const std::unique_ptr<Document> document =
        Load(u"<r\u00E8gles \u00E9t\u00E9='1' et='2'><regle/><r\u00E8gle id='a'/>"
             u"<Prereq/><Prereqs id='p'/><detection><expressions/><expression id='e'/></detection>"
             u"</r\u00E8gles>");
    const Node root = document->DocumentElement();
    const struct {
        const char16_t* expression;
        const char16_t* found; // Name() of the match, or null
    } cases[] = {
        {u"//r\u00E8gle", u"r\u00E8gle"},
        {u"//r\u00E8gles", u"r\u00E8gles"},
        {u"//r\u00E8g", nullptr},
        {u"Prereqs", u"Prereqs"},
        {u"Prereq", u"Prereq"},
        {u"prereqs", nullptr},
        {u"@\u00E9t\u00E9", u"\u00E9t\u00E9"},
        {u"@\u00E9t", nullptr},
        {u"@et", u"et"},
        {u"//detection/expression", u"expression"},
        {u"//r\u00E8gles/expression", nullptr},
    };
    for (const auto& c : cases) {
        const Node found = root.SelectSingleNode(c.expression);
        if (c.found == nullptr) {
            EXPECT_FALSE(found) << Utf16ToUtf8(c.expression);
        } else {
            ASSERT_TRUE(found) << Utf16ToUtf8(c.expression);
            EXPECT_EQ(found.Name(), c.found);
        }
    }
    EXPECT_EQ(root.SelectSingleNode(u"//detection/expression").Attribute(u"id").Text(), u"e");
}

} // namespace
} // namespace tarn::xml
