// The Linux XML backend against the platform DOM: every document is loaded into both and what
// the rules can observe is compared node by node (load success, names, types, child lists,
// texts, attribute texts and typed values, selections). Documents come from the rule corpus,
// the examples and a seeded generator of rule-shaped documents; TARN_DOM_DIFF_SEED,
// TARN_DOM_DIFF_FIRST and TARN_DOM_DIFF_DOCUMENTS choose which and how many (a failure names
// its seed and number, so FIRST=number DOCUMENTS=1 repeats it alone).
#include "rules/xml/dom.h"
#include "rules/xml/pugi/document.h"
#include "tarn-eval/decode.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include "support/apartment.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tarn::xml {
namespace {

// Attributes looked up on every element: those the rules read and those the generator writes.
// Namespace declarations are left out: the platform DOM under Wine hides them from attribute
// look-ups, while Windows answers them as attributes (no rule reads one).
const char16_t* const kAttributeNames[] = {
    u"version", u"versionLower", u"Comparison", u"type",      u"engine", u"Path",
    u"id",      u"xml:space",    u"a:version",  u"b:version", u"arch",   u"major"};
// Selections from the document and from every element.
const char16_t* const kDocumentSelections[] = {u"//ruleset", u"//detection/expression"};
const char16_t* const kElementSelections[] = {u"Prereqs", u"@version", u"@Comparison"};

// What the rules can see of a node and its subtree, one line a node. A failing DOM call shows
// as its HRESULT, so that backends must also fail alike.
class Observer {
public:
    std::u16string Document(xml::Document& document, std::u16string_view text) {
        out_.clear();
        if (!document.LoadXml(text)) {
            return u"not loaded\n";
        }
        for (const char16_t* expression : kDocumentSelections) {
            Line(0, u"select " + std::u16string(expression));
            Guarded(1, [&] { Subtree(document.SelectSingleNode(expression), 2); });
        }
        Line(0, u"document element");
        Guarded(1, [&] { Subtree(document.DocumentElement(), 1); });
        return std::move(out_);
    }

private:
    void Subtree(const Node& node, int depth) {
        if (!node) {
            Line(depth, u"(none)");
            return;
        }
        const NodeType type = node.Type();
        Line(depth, Utf8ToUtf16(std::to_string(static_cast<int>(type))) + u" " + node.Name() +
                        u" [" + node.Text() + u"]");
        if (type == NodeType::Attribute) {
            Line(depth + 1, u"typed [" + node.TypedValueText() + u"]");
            return;
        }
        if (type == NodeType::Element) {
            Attributes(node, depth + 1);
        }
        Children(node, depth + 1);
    }

    void Attributes(const Node& element, int depth) {
        for (const char16_t* name : kAttributeNames) {
            if (const Node a = element.Attribute(name)) {
                Line(depth, u"@" + std::u16string(name) + u" [" + a.Text() + u"] typed [" +
                                a.TypedValueText() + u"]");
            }
        }
        for (const char16_t* expression : kElementSelections) {
            const Node selected = element.SelectSingleNode(expression);
            if (selected) {
                Line(depth, u"select " + std::u16string(expression) + u": " + selected.Name() +
                                u" [" + selected.Text() + u"]");
            }
        }
    }

    void Children(const Node& node, int depth) {
        NodeList list = node.ChildNodes();
        const long length = list.Length();
        const Node first = node.FirstChild();
        Line(depth, u"children " + Utf8ToUtf16(std::to_string(length)) + u", first " +
                        (first ? first.Name() : u"(none)"));
        list.Reset();
        for (Node child = list.NextNode(); child; child = list.NextNode()) {
            Subtree(child, depth);
        }
    }

    template <class Work>
    void Guarded(int depth, Work work) {
        try {
            work();
        } catch (const _com_error& e) {
            Line(depth, u"raised " + Utf8ToUtf16(std::to_string(e.Error())));
        }
    }

    void Line(int depth, const std::u16string& text) {
        out_.append(static_cast<std::size_t>(depth) * 2, u' ');
        out_ += text;
        out_ += u'\n';
    }

    std::u16string out_;
};

std::unique_ptr<Document> Created(CreateResult created) {
    EXPECT_EQ(created.hr, S_OK);
    if (created.document) {
        created.document->SetAsync(false);
    }
    return std::move(created.document);
}

// The first line where two outlines differ.
std::string FirstDifference(const std::string& platform, const std::string& native) {
    std::istringstream a(platform), b(native);
    std::string la, lb;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, la));
        const bool moreB = static_cast<bool>(std::getline(b, lb));
        if (!moreA && !moreB) {
            return "(none)";
        }
        if (!moreA || !moreB || la != lb) {
            return "line " + std::to_string(line) + "\n  platform: " + (moreA ? la : "(end)") +
                   "\n  native:   " + (moreB ? lb : "(end)");
        }
    }
}

// Loads `text` into both backends; a difference is a failure that shows the document.
void ExpectSameAnswers(std::u16string_view text, const std::string& label) {
    const std::unique_ptr<Document> platform = Created(TryCreateDocument());
    const std::unique_ptr<Document> native = Created(pugi_backend::TryCreateDocument());
    ASSERT_TRUE(platform && native);
    Observer observer;
    const std::string expected = Utf16ToUtf8(observer.Document(*platform, text));
    const std::string actual = Utf16ToUtf8(observer.Document(*native, text));
    if (expected != actual) {
        ADD_FAILURE() << label << ": the backends differ at " << FirstDifference(expected, actual)
                      << "\ndocument:\n"
                      << Utf16ToUtf8(text);
    }
}

// ---- The generator ---------------------------------------------------------------------------

// Random rule-shaped documents: trees of the rule elements with attributes, text, blanks,
// references, CDATA, comments, instructions, namespaces, entities and declarations, a few of them
// broken on purpose so that rejection is compared too.
class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    std::string Document() {
        std::string out;
        entity_ = Chance(15);
        Prolog(out);
        Element(out, 0);
        Misc(out);
        return out;
    }

private:
    template <std::size_t N>
    const char* Pick(const char* const (&choices)[N]) {
        return choices[Below(N)];
    }
    std::size_t Below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    bool Chance(int percent) { return Below(100) < static_cast<std::size_t>(percent); }

    void Prolog(std::string& out) {
        static const char* const kDeclarations[] = {
            "<?xml version=\"1.0\"?>",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
            "<?xml version=\"1.0\" encoding=\"utf-16\"?>",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
            "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?>",
            "<?xml version=\"1.0\" standalone=\"yes\"?>",
            "<?xml version=\"1.0\" standalone=\"no\"?>",
            "<?xml version=\"1.0\" standalone=\"maybe\"?>",
            "<?XML version=\"1.0\"?>",
            "<?xml version=\"1.1\"?>",
            "<?xml encoding=\"UTF-8\"?>",
            " <?xml version=\"1.0\"?>",
            "<?xml version='1.0' ?>"};
        if (Chance(40)) {
            out += Pick(kDeclarations);
        }
        if (entity_) {
            out += Chance(50)
                       ? "<!DOCTYPE ruleset [<!ENTITY e \"entity text\"><!ENTITY w \" \">]>"
                       : "<!DOCTYPE ruleset [<!ENTITY e \"&#60;and/&#62;\"><!ENTITY w \"\">]>";
        } else if (Chance(5)) {
            out += "<!DOCTYPE ruleset>";
        }
        Misc(out);
    }

    void Misc(std::string& out) {
        static const char* const kMisc[] = {"<!-- note -->", "<?pi data?>", " ", "\r\n", "\t"};
        while (Chance(25)) {
            out += Pick(kMisc);
        }
    }

    void Element(std::string& out, int depth) {
        static const char* const kNames[] = {"ruleset",    "and",        "or",      "not",
                                             "Prereqs",    "Prereq",     "rule",    "SRFileVersion",
                                             "AND",        "RuleSet",    "prereqs", "detection",
                                             "expression", "Expression", "os"};
        static const char* const kPrefixes[] = {"a:", "b:"};
        std::string declarations;
        if (depth == 0) {
            declarations = Namespaces();
        }
        std::string name = depth == 0 && Chance(60) ? "ruleset" : Pick(kNames);
        if (prefixes_ && Chance(10)) {
            name = Pick(kPrefixes) + name;
        }
        out += "<" + name + declarations;
        const int attributes = static_cast<int>(Below(4));
        for (int i = 0; i < attributes; ++i) {
            Attribute(out);
        }
        if (depth >= 5 || Chance(20)) {
            out += "/>";
            return;
        }
        out += ">";
        Content(out, depth);
        out += Chance(2) ? "</wrong>" : "</" + name + ">";
    }

    // Prefixes are only used where they are declared: Wine's DOM loads undeclared ones, which
    // Windows rejects. Two prefixes of one namespace on one attribute name are rejected by both.
    std::string Namespaces() {
        prefixes_ = false;
        switch (Below(8)) {
        case 0:
        case 1:
        case 2:
            prefixes_ = true;
            return " xmlns:a=\"urn:a\" xmlns:b=\"urn:b\"";
        case 3:
            return " xmlns=\"urn:d\"";
        case 4:
            return " xmlns:a=\"urn:a\" xmlns:c=\"urn:a\" a:version=\"1\" c:version=\"2\"";
        default:
            return {};
        }
    }

    void Attribute(std::string& out) {
        static const char* const kNames[] = {"version", "versionLower", "Comparison",
                                             "type",    "id",           "xml:space",
                                             "arch",    "major",        "version"};
        static const char* const kPrefixed[] = {"a:version", "b:version"};
        static const char* const kValues[] = {
            "1.0",           "",         "  ",    " 2.0 ",
            "\t1.2\n",       "a&amp;b",  "&#32;", "&#32;3&#9;",
            "x&#10;y",       "&lt;&gt;", "State", "preserve",
            "default",       "&#x41;",   "1 2",   "&#13;&#10;",
            "&quot;q&apos;", "&bogus;",  "<",     "{DF407668-EC52-4582-8C1D-0C4D73E9530E}"};
        const std::string name = prefixes_ && Chance(20) ? Pick(kPrefixed) : Pick(kNames);
        std::string value = Pick(kValues);
        // Wine's DOM drops blanks that stand beside an entity in an attribute; Windows keeps
        // them. Entities are only put after something else.
        if (entity_ && Chance(20) && !value.empty() &&
            std::isalnum(static_cast<unsigned char>(value.front())) != 0) {
            value += Chance(50) ? "&e;" : "&w;";
        }
        if (name == "xml:space") {
            value = Chance(70) ? "preserve" : Pick(kValues);
        }
        out += " " + name + (Chance(50) ? "=\"" + value + "\"" : "='" + value + "'");
    }

    // An element's children. Neighbouring text pieces make one text node; Wine's DOM drops
    // whitespace-only pieces at either end of such a run where they stand beside a reference,
    // which Windows keeps, so a run is never let to begin or end so. Neither are two CDATA
    // sections let to stand side by side (Wine joins them into one node).
    void Content(std::string& out, int depth) {
        static const char* const kText[] = {
            "x",         " x ",         "1.0",     "a b",    "\n\t",        " ",     "&#32;",
            "&#9;&#10;", "&#x20;&#13;", " &#32; ", "&amp;",  "&lt;tag&gt;", "&#65;", "]]>",
            "&nowhere;", "t\r\nu",      "\r",      "&#32;y", "y&#32;",      "&#160;"};
        static const char* const kOther[] = {"<![CDATA[ c ]]>",     "<![CDATA[ ]]>", "<![CDATA[]]>",
                                             "<![CDATA[<x>]]>",     "<!-- c -->",    "<!---->",
                                             "<!-- a--b -->",       "<?pi data?>",   "<?pi?>",
                                             "<?xml-stylesheet x?>"};
        std::string run;
        bool cdataLast = false; // the last node written is CDATA
        const int children = static_cast<int>(Below(6));
        for (int i = 0; i < children; ++i) {
            const std::size_t kind = Below(10);
            if (kind >= 4 && kind < 8) {
                run += Pick(kText);
                continue;
            }
            const std::string_view other = kind < 4 ? std::string_view() : Pick(kOther);
            const bool cdata = other.starts_with("<![CDATA[");
            if (cdata && cdataLast && IsBlankRun(run)) {
                continue; // blanks between would be dropped and the two sections joined
            }
            out += SafeRun(run);
            run.clear();
            if (kind < 4) {
                Element(out, depth + 1);
            } else {
                out += other;
            }
            cdataLast = cdata;
        }
        out += SafeRun(run);
    }

    static bool IsBlankPiece(std::string_view piece) {
        static const char* const kBlankReferences[] = {"&#32;", "&#9;", "&#10;", "&#13;", "&#x20;"};
        for (const char* reference : kBlankReferences) {
            if (piece == reference) {
                return true;
            }
        }
        return !piece.empty() && piece.find_first_not_of(" \t\r\n") == std::string_view::npos;
    }

    // The pieces in which Wine's parser hands a run over: references one by one, and the text
    // between them, which a carriage return also cuts.
    static std::vector<std::string_view> Pieces(std::string_view run) {
        std::vector<std::string_view> pieces;
        while (!run.empty()) {
            std::size_t end = run.front() == '&' ? run.find(';') + 1 : run.find_first_of("&\r", 1);
            end = std::min(end, run.size());
            pieces.push_back(run.substr(0, end));
            run.remove_prefix(end);
        }
        return pieces;
    }

    static bool IsBlankRun(std::string_view run) {
        const std::vector<std::string_view> pieces = Pieces(run);
        return std::all_of(pieces.begin(), pieces.end(), IsBlankPiece);
    }

    static std::string SafeRun(const std::string& run) {
        const std::vector<std::string_view> pieces = Pieces(run);
        if (IsBlankRun(run) || pieces.size() < 2) {
            return run;
        }
        return (IsBlankPiece(pieces.front()) ? "z" : "") + run +
               (IsBlankPiece(pieces.back()) ? "z" : "");
    }

    std::mt19937 random_;
    bool entity_ = false;
    bool prefixes_ = false;
};

unsigned EnvironmentNumber(const char* name, unsigned fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0'
               ? static_cast<unsigned>(std::strtoul(value, nullptr, 10))
               : fallback;
}

TEST(DomDifferential, GeneratedDocumentsGiveTheSameAnswers) {
    const unsigned seed = EnvironmentNumber("TARN_DOM_DIFF_SEED", 20261206);
    const unsigned count = EnvironmentNumber("TARN_DOM_DIFF_DOCUMENTS", 1000);
    const unsigned first = EnvironmentNumber("TARN_DOM_DIFF_FIRST", 0);
    Generator generator(seed);
    for (unsigned i = 0; i < first + count; ++i) {
        const std::string document = generator.Document();
        if (i < first) {
            continue;
        }
        ExpectSameAnswers(Utf8ToUtf16(document),
                          "seed " + std::to_string(seed) + ", document " + std::to_string(i));
        if (HasFailure()) {
            break; // the first difference is the one to look at
        }
    }
}

std::vector<std::filesystem::path> XmlFilesUnder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() == ".xml") {
            files.push_back(entry.path());
        }
    }
    return files;
}

// Documents that Wine's DOM answers otherwise than Windows does (nesting beyond its limit),
// listed beside the corpus.
std::vector<std::string> WineDeparturesFromWindows() {
    std::ifstream in(TARN_SOURCE_DIR "/tests/corpus/expected-wine.tsv");
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        names.push_back(line.substr(0, line.find('\t')));
    }
    return names;
}

TEST(DomDifferential, CorpusAndExamplesGiveTheSameAnswers) {
    std::vector<std::filesystem::path> files = XmlFilesUnder(TARN_SOURCE_DIR "/tests/corpus");
    const std::vector<std::filesystem::path> examples = XmlFilesUnder(TARN_EXAMPLES_DIR);
    files.insert(files.end(), examples.begin(), examples.end());
    ASSERT_GT(files.size(), 50u);
    const std::vector<std::string> departures = WineDeparturesFromWindows();
    ASSERT_FALSE(departures.empty());
    for (const std::filesystem::path& file : files) {
        if (std::find(departures.begin(), departures.end(), file.filename().string()) !=
            departures.end()) {
            continue;
        }
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        const eval::DecodedText decoded = eval::DecodeDocument(bytes);
        ASSERT_TRUE(decoded.ok) << file.string();
        ExpectSameAnswers(decoded.text, file.string());
    }
}

} // namespace
} // namespace tarn::xml
