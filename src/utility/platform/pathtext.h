// Windows paths as text: splitting and joining without asking the file system. Both "\" and
// "/" are separators. A drive path has ":" as its second character; a UNC path begins with two
// separators.
#pragma once

#include <string>
#include <string_view>

namespace tarn::paths {

bool IsSeparator(char16_t c) noexcept;
bool IsDrivePath(std::u16string_view path) noexcept;
bool IsUncPath(std::u16string_view path) noexcept;

// The root: for a UNC path up to the end of the share name; for a drive path the letter and
// colon, with the separator when one follows; for a path that begins with one separator, that
// separator; else nothing.
std::u16string_view RootOf(std::u16string_view path) noexcept;

// The final component (the text after the last separator that has something after it), without
// a trailing separator: "b" for C:\a\b\.
std::u16string_view FileName(std::u16string_view path) noexcept;

// The text before the final component's separator; directly under a drive root, that root with
// its separator (C:\ for C:\a). Empty when the path has no separator before its last component.
std::u16string_view ParentOf(std::u16string_view path) noexcept;

// `relative` joined to `base`: a drive or UNC path stands alone; one that begins with a
// separator goes after the base's root; anything else after the base, with one separator
// between them unless the base ends with ":" or a separator.
std::u16string Combine(std::u16string_view base, std::u16string_view relative);

// Removes one trailing separator.
void StripTrailingSeparator(std::u16string& path) noexcept;
// Appends "\" unless the path is empty or already ends with a separator.
void EnsureTrailingSeparator(std::u16string& path);

} // namespace tarn::paths
