#include "rules/xml/pugi/declaration.h"

#include <string>

namespace tarn::xml::pugi_backend {

namespace {

// The encoding names that the platform DOM accepts, compared without regard to case. The text
// is UTF-16 whatever the declaration says; an unknown name is still an error.
constexpr std::string_view kKnownEncodings[] = {
    "UTF-8",        "UTF8",         "UTF-16",       "UTF16",        "UTF-16LE",     "UTF-16BE",
    "US-ASCII",     "ASCII",        "HTML",         "GBK",          "ISO-LATIN-1",  "ISO-LATIN-2",
    "ISO-8859-1",   "ISO-8859-2",   "ISO-8859-3",   "ISO-8859-4",   "ISO-8859-5",   "ISO-8859-6",
    "ISO-8859-7",   "ISO-8859-8",   "ISO-8859-9",   "ISO-8859-10",  "ISO-8859-11",  "ISO-8859-13",
    "ISO-8859-14",  "ISO-8859-15",  "ISO-8859-16",  "WINDOWS-1250", "WINDOWS-1251", "WINDOWS-1252",
    "WINDOWS-1253", "WINDOWS-1254", "WINDOWS-1255", "WINDOWS-1256", "WINDOWS-1257", "WINDOWS-1258"};

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsKnownEncoding(std::u16string_view name) {
    for (const std::string_view known : kKnownEncodings) {
        bool same = known.size() == name.size();
        for (std::size_t i = 0; same && i < name.size(); ++i) {
            const char16_t c = name[i];
            const char16_t upper = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
            same = upper == static_cast<char16_t>(known[i]);
        }
        if (same) {
            return true;
        }
    }
    return false;
}

class DeclarationReader {
public:
    explicit DeclarationReader(std::u16string_view text) : text_(text) {}

    DeclarationFault Read() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
        if (!text_.substr(pos_).starts_with(u"<?xml") || pos_ + 5 >= text_.size() ||
            !(IsSpace(text_[pos_ + 5]) || text_[pos_ + 5] == u'?')) {
            return {};
        }
        pos_ += 5;
        std::u16string_view value;
        if (!Pseudo(u"version", value) || !IsVersion(value)) {
            return Fault("The XML declaration needs version=\"1.0\"");
        }
        if (Pseudo(u"encoding", value) && !IsKnownEncoding(value)) {
            return Fault("The encoding of the XML declaration is not supported");
        }
        if (Pseudo(u"standalone", value) && value != u"yes" && value != u"no") {
            return Fault("standalone must be \"yes\" or \"no\"");
        }
        SkipSpace();
        if (!text_.substr(pos_).starts_with(u"?>")) {
            return Fault("The XML declaration is malformed");
        }
        return {};
    }

private:
    DeclarationFault Fault(const char* what) const { return {what, pos_}; }

    bool SkipSpace() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
        return pos_ > start;
    }

    // ` name = "value"` at the current position: consumed when present, else nothing moves.
    bool Pseudo(std::u16string_view name, std::u16string_view& value) {
        const std::size_t start = pos_;
        if (!SkipSpace() || !text_.substr(pos_).starts_with(name)) {
            pos_ = start;
            return false;
        }
        pos_ += name.size();
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != u'=') {
            pos_ = start;
            return false;
        }
        ++pos_;
        SkipSpace();
        const char16_t quote = pos_ < text_.size() ? text_[pos_] : u'\0';
        const std::size_t close =
            quote == u'"' || quote == u'\'' ? text_.find(quote, pos_ + 1) : text_.npos;
        if (close == text_.npos) {
            pos_ = start;
            return false;
        }
        value = text_.substr(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        return true;
    }

    static bool IsVersion(std::u16string_view value) {
        if (!value.starts_with(u"1.")) {
            return false;
        }
        for (const char16_t c : value.substr(2)) {
            if (!IsDigit(c)) {
                return false;
            }
        }
        return true;
    }

    std::u16string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

DeclarationFault CheckDeclaration(std::u16string_view text) {
    return DeclarationReader(text).Read();
}

} // namespace tarn::xml::pugi_backend
