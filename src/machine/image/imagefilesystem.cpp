#include "machine/image/imagefilesystem.h"

#include "utility/text/strings.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace tarn::image {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLongestPath = 32767;
constexpr DWORD kDirectoryAttribute = 0x10; // FILE_ATTRIBUTE_DIRECTORY
constexpr DWORD kArchiveAttribute = 0x20;   // FILE_ATTRIBUTE_ARCHIVE

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// Simple case folding of the scripts whose capitals Windows' upcase table maps one to one:
// Latin, Latin-1, Greek and Cyrillic.
char16_t FoldCase(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0x450 && c <= 0x45F) {
        return static_cast<char16_t>(c - 0x50);
    }
    return c;
}

std::u16string Folded(std::u16string_view text) {
    std::u16string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
    return folded;
}

// Characters that no Windows file name holds.
bool IsValidName(std::u16string_view name) {
    return name.find_first_of(u"<>:\"|?*") == std::u16string_view::npos &&
           std::none_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20; });
}

bool Exists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

bool IsDirectory(const fs::path& path) {
    std::error_code ignored;
    return fs::is_directory(path, ignored);
}

fs::path HostName(std::u16string_view name) {
    return fs::path(Utf16ToUtf8(name));
}

// Drops what Windows drops from the end of a name: dots and blanks.
std::u16string_view Trimmed(std::u16string_view name) {
    const std::size_t end = name.find_last_not_of(u". ");
    return end == std::u16string_view::npos ? std::u16string_view() : name.substr(0, end + 1);
}

void ApplyName(std::u16string_view name, bool normalise, std::vector<std::u16string>& names) {
    if (name.empty() || name == u".") {
        return;
    }
    if (name == u"..") {
        if (!names.empty()) {
            names.pop_back();
        }
        return;
    }
    const std::u16string_view kept = normalise ? Trimmed(name) : name;
    if (!kept.empty()) {
        names.emplace_back(kept);
    }
}

// Wildcard matching with one step back to the last "*": linear in practice, never exponential.
bool MatchFrom(std::u16string_view name, std::u16string_view pattern) {
    std::size_t n = 0, p = 0, star = std::u16string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

class ListedSearch final : public DirectorySearch {
public:
    explicit ListedSearch(std::vector<FindData> entries) : entries_(std::move(entries)) {}

    DWORD Next(FindData& entry) override {
        if (next_ >= entries_.size()) {
            return ERROR_NO_MORE_FILES;
        }
        entry = entries_[next_++];
        return ERROR_SUCCESS;
    }

private:
    std::vector<FindData> entries_;
    std::size_t next_ = 1; // the first entry goes out with the search
};

std::vector<FindData> MatchingEntries(const fs::path& folder, std::u16string_view pattern,
                                      bool root) {
    std::vector<FindData> entries;
    if (!root) {
        for (const char16_t* dots : {u".", u".."}) {
            if (MatchesPattern(dots, pattern)) {
                entries.push_back({kDirectoryAttribute, dots});
            }
        }
    }
    const std::size_t dotted = entries.size();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::u16string name = Utf8ToUtf16(it->path().filename().string());
        if (MatchesPattern(name, pattern)) {
            const DWORD attributes =
                IsDirectory(it->path()) ? kDirectoryAttribute : kArchiveAttribute;
            entries.push_back({attributes, std::move(name)});
        }
    }
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(dotted), entries.end(),
              [](const FindData& a, const FindData& b) { return Folded(a.name) < Folded(b.name); });
    return entries;
}

} // namespace

std::optional<WindowsPath> ParseWindowsPath(std::u16string_view path) {
    if (path.size() > kLongestPath) {
        return std::nullopt;
    }
    bool normalise = true;
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
        (path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3])) {
        path.remove_prefix(4);
        normalise = false;
    }
    if (path.size() < 2 || path[1] != u':' || AsciiLower(path[0]) < u'a' ||
        AsciiLower(path[0]) > u'z' || (path.size() > 2 && !IsSeparator(path[2]))) {
        return std::nullopt;
    }
    WindowsPath parsed;
    parsed.drive = static_cast<char16_t>(AsciiLower(path[0]) - u'a' + u'A');
    std::size_t at = 2;
    while (at < path.size()) {
        const std::size_t start = at + 1;
        at = start;
        while (at < path.size() && !IsSeparator(path[at])) {
            ++at;
        }
        ApplyName(path.substr(start, at - start), normalise, parsed.names);
    }
    return parsed;
}

bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
    if (pattern == u"*.*") {
        return true;
    }
    if (!pattern.empty() && pattern.back() == u'.' && pattern != u"." && pattern != u"..") {
        return name.find(u'.') == std::u16string_view::npos &&
               MatchFrom(name, pattern.substr(0, pattern.size() - 1));
    }
    return MatchFrom(name, pattern);
}

void ImageFileSystem::MapDrive(char16_t letter, fs::path folder, UINT type) {
    const char16_t lower = AsciiLower(letter);
    if (lower >= u'a' && lower <= u'z') {
        drives_[lower - u'a'] = {std::move(folder), type};
    }
}

std::optional<fs::path> ImageFileSystem::FindNoCase(const fs::path& folder,
                                                    std::u16string_view name) const {
    const std::lock_guard lock(mutex_);
    auto listing = listings_.find(folder);
    if (listing == listings_.end()) {
        std::map<std::u16string, std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string entry = it->path().filename().string();
            names.emplace(Folded(Utf8ToUtf16(entry)), entry);
        }
        listing = listings_.emplace(folder, std::move(names)).first;
    }
    const auto found = listing->second.find(Folded(name));
    if (found == listing->second.end()) {
        return std::nullopt;
    }
    return folder / found->second;
}

void ImageFileSystem::RedirectSystemFolder(WindowsPath windows) {
    redirectedWindows_ = std::move(windows);
}

void ImageFileSystem::Redirect(WindowsPath& path) const {
    if (!redirectedWindows_ || path.drive != redirectedWindows_->drive) {
        return;
    }
    const std::vector<std::u16string>& windows = redirectedWindows_->names;
    const std::size_t at = windows.size();
    if (path.names.size() <= at ||
        !std::equal(windows.begin(), windows.end(), path.names.begin(),
                    [](const std::u16string& a, const std::u16string& b) {
                        return Folded(a) == Folded(b);
                    })) {
        return;
    }
    std::u16string& system = path.names[at];
    if (Folded(system) == u"SYSNATIVE") {
        system = u"System32";
        return;
    }
    if (Folded(system) != u"SYSTEM32") {
        return;
    }
    // The folders that stay shared between both widths.
    const std::u16string below = path.names.size() > at + 1 ? Folded(path.names[at + 1]) : u"";
    const std::u16string belowThat = path.names.size() > at + 2 ? Folded(path.names[at + 2]) : u"";
    if (below == u"CATROOT" || below == u"CATROOT2" || below == u"DRIVERSTORE" ||
        below == u"LOGFILES" || below == u"SPOOL" || (below == u"DRIVERS" && belowThat == u"ETC")) {
        return;
    }
    system = u"SysWOW64";
}

std::optional<fs::path> ImageFileSystem::Locate(WindowsPath path) const {
    Redirect(path);
    const Drive& drive = drives_[path.drive - u'A'];
    if (drive.folder.empty() || !std::all_of(path.names.begin(), path.names.end(), IsValidName)) {
        return std::nullopt;
    }
    fs::path direct = drive.folder;
    for (const std::u16string& name : path.names) {
        direct /= HostName(name);
    }
    if (Exists(direct)) {
        return direct;
    }
    // Names of another case: each found in its folder's listing, the whole checked once.
    fs::path found = drive.folder;
    for (const std::u16string& name : path.names) {
        std::optional<fs::path> next = FindNoCase(found, name);
        if (!next) {
            return std::nullopt;
        }
        found = std::move(*next);
    }
    if (!Exists(found)) {
        return std::nullopt;
    }
    return found;
}

std::optional<fs::path> ImageFileSystem::Resolve(std::u16string_view windowsPath) const {
    {
        const std::lock_guard lock(mutex_);
        if (windowsPath == lastPath_) {
            return lastFound_;
        }
    }
    const std::optional<WindowsPath> parsed = ParseWindowsPath(windowsPath);
    std::optional<fs::path> found = parsed ? Locate(*parsed) : std::nullopt;
    const std::lock_guard lock(mutex_);
    lastPath_ = windowsPath;
    lastFound_ = found;
    return found;
}

std::optional<std::vector<std::uint8_t>> ImageFileSystem::Read(std::u16string_view windowsPath,
                                                               std::size_t limit) const {
    const std::optional<fs::path> file = Resolve(windowsPath);
    if (!file || IsDirectory(*file)) {
        return std::nullopt;
    }
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(limit);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

SearchAnswer ImageFileSystem::Search(std::u16string_view pattern) const {
    const std::size_t separator = pattern.find_last_of(u"\\/");
    const std::u16string_view last =
        separator == std::u16string_view::npos ? pattern : pattern.substr(separator + 1);
    const std::optional<WindowsPath> folder =
        separator == std::u16string_view::npos ? std::nullopt
                                               : ParseWindowsPath(pattern.substr(0, separator + 1));
    if (last.empty()) {
        return {nullptr, {}, ERROR_FILE_NOT_FOUND};
    }
    const std::optional<fs::path> located = folder ? Locate(*folder) : std::nullopt;
    if (!located || !IsDirectory(*located)) {
        return {nullptr, {}, ERROR_PATH_NOT_FOUND};
    }
    std::vector<FindData> entries = MatchingEntries(*located, last, folder->names.empty());
    if (entries.empty()) {
        return {nullptr, {}, ERROR_FILE_NOT_FOUND};
    }
    FindData first = entries.front();
    return {std::make_unique<ListedSearch>(std::move(entries)), std::move(first), ERROR_SUCCESS};
}

UINT ImageFileSystem::DriveType(std::u16string_view root) const {
    const std::optional<WindowsPath> parsed = ParseWindowsPath(root);
    if (!parsed || !parsed->names.empty()) {
        return kNoRootDirectory;
    }
    const Drive& drive = drives_[parsed->drive - u'A'];
    return drive.folder.empty() ? kNoRootDirectory : drive.type;
}

} // namespace tarn::image
