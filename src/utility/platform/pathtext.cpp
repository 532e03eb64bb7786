#include "utility/platform/pathtext.h"

namespace tarn::paths {

namespace {

constexpr std::size_t kNone = std::u16string_view::npos;

// The index of the last separator that has at least one character after it, or kNone.
std::size_t FinalSeparator(std::u16string_view path) noexcept {
    for (std::size_t i = path.size(); i-- > 0;) {
        if (IsSeparator(path[i]) && i + 1 < path.size()) {
            return i;
        }
    }
    return kNone;
}

std::size_t NextSeparator(std::u16string_view path, std::size_t from) noexcept {
    for (std::size_t i = from; i < path.size(); ++i) {
        if (IsSeparator(path[i])) {
            return i;
        }
    }
    return path.size();
}

bool EndsJoined(std::u16string_view text) noexcept {
    return !text.empty() && (text.back() == u':' || IsSeparator(text.back()));
}

} // namespace

bool IsSeparator(char16_t c) noexcept {
    return c == u'\\' || c == u'/';
}

bool IsDrivePath(std::u16string_view path) noexcept {
    return path.size() >= 2 && path[1] == u':';
}

bool IsUncPath(std::u16string_view path) noexcept {
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

std::u16string_view RootOf(std::u16string_view path) noexcept {
    if (IsUncPath(path)) {
        const std::size_t shareStart = NextSeparator(path, 2);
        return path.substr(0, NextSeparator(path, shareStart + 1));
    }
    if (IsDrivePath(path)) {
        return path.substr(0, path.size() > 2 && IsSeparator(path[2]) ? 3 : 2);
    }
    return !path.empty() && IsSeparator(path[0]) ? path.substr(0, 1) : std::u16string_view();
}

std::u16string_view FileName(std::u16string_view path) noexcept {
    const std::size_t separator = FinalSeparator(path);
    std::u16string_view name = separator == kNone ? path : path.substr(separator + 1);
    if (!name.empty() && IsSeparator(name.back())) {
        name.remove_suffix(1);
    }
    return name;
}

std::u16string_view ParentOf(std::u16string_view path) noexcept {
    const std::size_t separator = FinalSeparator(path);
    if (separator == kNone) {
        return {};
    }
    const bool underDriveRoot = separator == 2 && IsDrivePath(path);
    return path.substr(0, underDriveRoot ? separator + 1 : separator);
}

std::u16string Combine(std::u16string_view base, std::u16string_view relative) {
    if (relative.empty()) {
        return std::u16string(base);
    }
    if (base.empty() || IsDrivePath(relative) || IsUncPath(relative)) {
        return std::u16string(relative);
    }
    if (IsSeparator(relative.front())) {
        base = RootOf(base);
        if (base.empty()) {
            return std::u16string(relative);
        }
        relative.remove_prefix(1);
    }
    std::u16string joined(base);
    if (!EndsJoined(joined)) {
        joined += u'\\';
    }
    joined += relative;
    return joined;
}

void StripTrailingSeparator(std::u16string& path) noexcept {
    if (!path.empty() && IsSeparator(path.back())) {
        path.pop_back();
    }
}

void EnsureTrailingSeparator(std::u16string& path) {
    if (!path.empty() && !IsSeparator(path.back())) {
        path += u'\\';
    }
}

} // namespace tarn::paths
