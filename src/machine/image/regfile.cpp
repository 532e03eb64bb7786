#include "machine/image/regfile.h"

#include "utility/text/strings.h"

#include <algorithm>

namespace tarn::image {

namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

std::u16string Folded(std::u16string_view text) {
    std::u16string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    return folded;
}

// The value of a hexadecimal or octal run of at most `limit` digits at `at`, moving past it.
std::uint32_t Number(std::u16string_view text, std::size_t& at, int base, int limit) {
    unsigned value = 0;
    for (int n = 0; n < limit && at < text.size(); ++n, ++at) {
        const int digit = base == 16                             ? HexDigitValue(text[at])
                          : text[at] >= u'0' && text[at] <= u'7' ? text[at] - u'0'
                                                                 : -1;
        if (digit < 0) {
            break;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    return value;
}

// A quoted, escaped string starting at `at` (on its opening quote, or anywhere for a key path
// ending at `end`); moves past the closing delimiter. Nothing when it is not closed.
std::optional<std::u16string> Unescape(std::u16string_view text, std::size_t& at, char16_t end) {
    std::u16string out;
    while (at < text.size() && text[at] != end) {
        char16_t c = text[at++];
        if (c == u'\\' && at < text.size()) {
            c = text[at++];
            switch (c) {
            case u'a':
                c = 7;
                break;
            case u'b':
                c = 8;
                break;
            case u'e':
                c = 27;
                break;
            case u'f':
                c = 12;
                break;
            case u'n':
                c = u'\n';
                break;
            case u'r':
                c = u'\r';
                break;
            case u't':
                c = u'\t';
                break;
            case u'v':
                c = 11;
                break;
            case u'x':
                c = static_cast<char16_t>(Number(text, at, 16, 4));
                break;
            default:
                if (c >= u'0' && c <= u'7') {
                    c = static_cast<char16_t>(Number(text, --at, 8, 3));
                }
            }
        }
        out.push_back(c);
    }
    if (at >= text.size()) {
        return std::nullopt;
    }
    ++at;
    return out;
}

std::vector<std::uint8_t> StringBytes(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// "aa,bb,cc" (blanks allowed); nothing when a byte is not two hexadecimal digits.
std::optional<std::vector<std::uint8_t>> HexBytes(std::u16string_view list) {
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && (list[at] == u' ' || list[at] == u',' || list[at] == u'\t')) {
            ++at;
        }
        if (at == list.size()) {
            break;
        }
        const std::size_t start = at;
        const auto value = static_cast<std::uint8_t>(Number(list, at, 16, 2));
        if (at == start) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// The data after "=": a string, str(N):"...", dword:XXXXXXXX, hex:... or hex(N):...
std::optional<RegistryValue> Data(std::u16string_view data) {
    std::size_t at = 0;
    std::uint32_t type = kRegSz;
    if (data.starts_with(u"str(") || data.starts_with(u"hex(")) {
        at = 4;
        type = Number(data, at, 16, 8);
        if (!data.substr(at).starts_with(u"):")) {
            return std::nullopt;
        }
        at += 2;
        if (data.starts_with(u"hex(")) {
            std::optional<std::vector<std::uint8_t>> bytes = HexBytes(data.substr(at));
            return bytes ? std::optional(RegistryValue{type, std::move(*bytes)}) : std::nullopt;
        }
    } else if (data.starts_with(u"dword:")) {
        at = 6;
        const std::size_t start = at;
        std::uint32_t number = 0;
        for (; at < data.size() && at < start + 8 && HexDigitValue(data[at]) >= 0; ++at) {
            number = number * 16 + static_cast<std::uint32_t>(HexDigitValue(data[at]));
        }
        if (at == start) {
            return std::nullopt;
        }
        return RegistryValue{
            kRegDword,
            {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
             static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
    } else if (data.starts_with(u"hex:")) {
        std::optional<std::vector<std::uint8_t>> bytes = HexBytes(data.substr(4));
        return bytes ? std::optional(RegistryValue{kRegBinary, std::move(*bytes)}) : std::nullopt;
    }
    if (at >= data.size() || data[at] != u'"') {
        return std::nullopt;
    }
    ++at;
    const std::optional<std::u16string> text = Unescape(data, at, u'"');
    return text ? std::optional(RegistryValue{type, StringBytes(*text)}) : std::nullopt;
}

// The lines of the file with hex continuations ("\" at the end) joined.
std::vector<std::u16string> Lines(std::string_view text) {
    std::vector<std::u16string> lines;
    bool continued = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::u16string line = Utf8ToUtf16(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        while (!line.empty() && (line.back() == u'\r' || line.back() == u' ')) {
            line.pop_back();
        }
        const bool continues =
            !line.empty() && line.back() == u'\\' && (continued || line.find(u"=hex") != line.npos);
        if (continues) {
            line.pop_back();
        }
        if (continued) {
            lines.back() += line.substr(std::min(line.find_first_not_of(u" \t"), line.size()));
        } else {
            lines.push_back(std::move(line));
        }
        continued = continues;
    }
    return lines;
}

} // namespace

RegFile RegFile::Parse(std::string_view text) {
    RegFile file;
    std::map<std::u16string, RegistryValue>* key = nullptr;
    Names* names = nullptr;
    for (const std::u16string& line : Lines(text)) {
        std::size_t at = 0;
        if (line.starts_with(u"[")) {
            at = 1;
            const std::optional<std::u16string> path = Unescape(line, at, u']');
            key = nullptr;
            names = nullptr;
            if (path) {
                const std::u16string folded = Folded(*path);
                key = &file.keys_[folded];
                names = &file.names_[folded];
                if (names->path.empty()) {
                    names->path = *path;
                }
            }
            continue;
        }
        if (key == nullptr || (!line.starts_with(u"\"") && !line.starts_with(u"@="))) {
            continue; // header, comments, #time and #link lines, or outside a key
        }
        std::optional<std::u16string> name = std::u16string();
        if (line.starts_with(u"\"")) {
            at = 1;
            name = Unescape(line, at, u'"');
        } else {
            at = 1;
        }
        if (!name || at >= line.size() || line[at] != u'=') {
            continue;
        }
        if (std::optional<RegistryValue> value = Data(std::u16string_view(line).substr(at + 1))) {
            const std::u16string folded = Folded(*name);
            (*key)[folded] = std::move(*value);
            names->values.emplace(folded, *name);
        }
    }
    return file;
}

const std::map<std::u16string, RegistryValue>* RegFile::Key(std::u16string_view path) const {
    const auto found = keys_.find(Folded(path));
    return found != keys_.end() ? &found->second : nullptr;
}

const RegistryValue* RegFile::Value(std::u16string_view path, std::u16string_view name) const {
    const std::map<std::u16string, RegistryValue>* key = Key(path);
    if (key == nullptr) {
        return nullptr;
    }
    const auto found = key->find(Folded(name));
    return found != key->end() ? &found->second : nullptr;
}

bool RegFile::HasKey(std::u16string_view path) const {
    const std::u16string folded = Folded(path);
    if (folded.empty() || keys_.contains(folded)) {
        return true;
    }
    const std::u16string below = folded + u'\\';
    const auto next = keys_.lower_bound(below);
    return next != keys_.end() && next->first.starts_with(below);
}

std::vector<std::u16string> RegFile::Subkeys(std::u16string_view path) const {
    std::u16string prefix = Folded(path);
    if (!prefix.empty()) {
        prefix += u'\\';
    }
    std::vector<std::u16string> children;
    std::vector<std::u16string> seen; // lower-case, for the few names met twice
    auto at = keys_.lower_bound(prefix);
    while (at != keys_.end() && at->first.starts_with(prefix)) {
        const std::size_t end = std::min(at->first.find(u'\\', prefix.size()), at->first.size());
        const std::u16string child = at->first.substr(prefix.size(), end - prefix.size());
        if (!child.empty() && std::find(seen.begin(), seen.end(), child) == seen.end()) {
            seen.push_back(child);
            children.push_back(names_.at(at->first).path.substr(prefix.size(), child.size()));
        }
        // Past this child's own subtree ("child\\..." sorts before "child]").
        at = end < at->first.size() ? keys_.lower_bound(prefix + child + u']') : std::next(at);
    }
    return children;
}

std::vector<std::u16string> RegFile::ValueNames(std::u16string_view path) const {
    std::vector<std::u16string> result;
    const auto found = names_.find(Folded(path));
    if (found != names_.end()) {
        for (const auto& [folded, name] : found->second.values) {
            result.push_back(name);
        }
    }
    return result;
}

std::vector<std::u16string> RegFile::KeyPaths() const {
    std::vector<std::u16string> result;
    result.reserve(names_.size());
    for (const auto& [folded, names] : names_) {
        result.push_back(names.path);
    }
    return result;
}

} // namespace tarn::image
