#include "rules/xml/pugi/entities.h"

#include <algorithm>
#include <cstdint>

namespace tarn::xml::pugi_backend {

namespace {

bool IsXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::uint32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16 && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (base == 16 && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "#65" or "#x41": the character, or false when it is no valid XML character.
bool DecodeCharacterReference(std::string_view body, std::string& out) {
    int base = 10;
    body.remove_prefix(1);
    if (!body.empty() && body.front() == 'x') {
        base = 16;
        body.remove_prefix(1);
    }
    if (body.empty()) {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : body) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return false;
        }
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
        if (value > 0x10FFFF) {
            return false;
        }
    }
    if (!IsXmlChar(value)) {
        return false;
    }
    AppendUtf8(value, out);
    return true;
}

// The text between '&' and ';'.
bool DecodeReference(std::string_view body, const EntityTable* entities, std::string& out) {
    static constexpr struct {
        std::string_view name;
        char replacement;
    } kPredefined[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& entity : kPredefined) {
        if (body == entity.name) {
            out += entity.replacement;
            return true;
        }
    }
    if (!body.empty() && body.front() == '#') {
        return DecodeCharacterReference(body, out);
    }
    const std::string* text = entities != nullptr ? entities->AttributeText(body) : nullptr;
    if (text == nullptr) {
        return false;
    }
    out += *text;
    return true;
}

} // namespace

std::size_t DecodeReferences(std::string_view raw, const EntityTable* entities, std::string& out) {
    out.clear();
    out.reserve(raw.size());
    std::size_t pos = 0;
    while (pos < raw.size()) {
        const std::size_t amp = raw.find('&', pos);
        if (amp == std::string_view::npos) {
            out.append(raw.substr(pos));
            break;
        }
        out.append(raw.substr(pos, amp - pos));
        const std::size_t semicolon = raw.find(';', amp);
        if (semicolon == std::string_view::npos ||
            !DecodeReference(raw.substr(amp + 1, semicolon - amp - 1), entities, out)) {
            return amp;
        }
        pos = semicolon + 1;
    }
    return kDecoded;
}

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads "<!ENTITY" declarations one at a time from an internal subset, skipping comments,
// quoted literals and everything else.
class SubsetReader {
public:
    explicit SubsetReader(std::string_view subset) : text_(subset) {}

    // The next general entity: false at the end. `literal` is empty for an external entity.
    bool Next(std::string_view& name, std::string_view& literal, bool& internal) {
        while (pos_ < text_.size()) {
            if (Skip("<!--")) {
                SkipPast("-->");
            } else if (Skip("<!ENTITY")) {
                if (ReadEntity(name, literal, internal)) {
                    return true;
                }
            } else if (text_[pos_] == '"' || text_[pos_] == '\'') {
                const std::string_view quote = text_.substr(pos_++, 1);
                SkipPast(quote);
            } else {
                ++pos_;
            }
        }
        return false;
    }

private:
    void SkipPast(std::string_view token) {
        const std::size_t at = text_.find(token, pos_);
        pos_ = at == std::string_view::npos ? text_.size() : at + token.size();
    }
    bool Skip(std::string_view token) {
        if (text_.substr(pos_).starts_with(token)) {
            pos_ += token.size();
            return true;
        }
        return false;
    }
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
    }
    std::string_view Word() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '>' &&
               text_[pos_] != '"' && text_[pos_] != '\'') {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    bool ReadEntity(std::string_view& name, std::string_view& literal, bool& internal) {
        SkipSpace();
        if (Skip("%")) {
            return false; // parameter entities never appear in the document's text
        }
        name = Word();
        SkipSpace();
        internal = pos_ < text_.size() && (text_[pos_] == '"' || text_[pos_] == '\'');
        literal = {};
        if (internal) {
            const std::size_t close = text_.find(text_[pos_], pos_ + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            literal = text_.substr(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
        }
        return !name.empty();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// Markup in a replacement text, written out or as a character reference.
bool HasMarkup(std::string_view literal) {
    for (const std::string_view lt : {"<", "&#60;", "&#x3C;", "&#x3c;"}) {
        if (literal.find(lt) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

void EntityTable::Declare(std::string_view doctype) {
    const std::size_t open = doctype.find('[');
    if (open == std::string_view::npos) {
        return;
    }
    SubsetReader reader(doctype.substr(open + 1));
    std::string_view name, literal;
    bool internal = false;
    while (reader.Next(name, literal, internal)) {
        bool declared = false;
        for (const Entity& e : entities_) {
            declared = declared || e.name == name; // the first declaration binds
        }
        if (declared) {
            continue;
        }
        Entity entity{std::string(name), {}, false};
        // Only character references and predefined entities may stand in the replacement of
        // an entity used in an attribute value, and no markup; white space becomes blanks.
        entity.usable = internal && literal.find('%') == std::string_view::npos &&
                        !HasMarkup(literal) &&
                        DecodeReferences(literal, nullptr, entity.text) == kDecoded;
        for (char& c : entity.text) {
            c = IsSpace(c) ? ' ' : c;
        }
        entities_.push_back(std::move(entity));
    }
}

const std::string* EntityTable::AttributeText(std::string_view name) const {
    for (const Entity& e : entities_) {
        if (e.name == name) {
            return e.usable ? &e.text : nullptr;
        }
    }
    return nullptr;
}

} // namespace tarn::xml::pugi_backend
