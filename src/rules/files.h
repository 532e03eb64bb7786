// The file test's building blocks: the version-resource reader, directory enumeration and the
// last-component wildcard match. Every file system question goes to the machine.
#pragma once

#include "machine/machine.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::rules {

// A file's version resource with its first translation entry.
class FileVersionInfo {
public:
    FileVersionInfo() = default;

    // S_OK with everything filled; S_FALSE when the file has no version resource; E_FAIL when
    // the network switch refuses the file's drive; the last error as an HRESULT when the
    // resource or its translation table cannot be read; E_UNEXPECTED after any other
    // exception. The buffer is gone after every failure.
    HRESULT Load(Machine& machine, std::u16string_view path) noexcept;

    std::uint32_t size() const noexcept { return size_; }
    // The whole resource; null when there is none.
    const std::vector<std::uint8_t>* data() const noexcept { return data_ ? &*data_ : nullptr; }
    // Low word the language, high word the code page.
    std::uint32_t translation() const noexcept { return translation_; }
    // Language and code page as "%04X%04X", e.g. "040904B0".
    const std::u16string& translationText() const noexcept { return translationText_; }

private:
    HRESULT Read(Machine& machine, std::u16string_view path);
    void Free() noexcept;

    std::uint32_t size_ = 0;
    std::optional<std::vector<std::uint8_t>> data_;
    std::uint32_t translation_ = 0;
    std::u16string translationText_;
};

// The entries of a directory search, one at a time; invalid once exhausted or failed.
class FindIterator {
public:
    explicit FindIterator(Machine& machine) noexcept : machine_(machine) {}

    // Starts the search on `pattern`, positioned on its first entry.
    void Open(std::u16string_view pattern);
    // Moves to the next entry; at the end (or on failure) the search is closed.
    void Next();
    void Close() noexcept;

    bool IsValid() const noexcept { return search_ != nullptr; }
    // A directory other than "." and "..".
    bool IsSubdirectory() const noexcept;
    bool IsDirectory() const noexcept { return (data_.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    const std::u16string& Name() const noexcept { return data_.name; }
    DWORD Error() const noexcept { return error_; }

private:
    Machine& machine_;
    std::unique_ptr<DirectorySearch> search_;
    DWORD error_ = ERROR_SUCCESS;
    FindData data_;
};

// The name of the first file matching `pattern`, else of the first subdirectory, else empty.
std::u16string FindFirstMatch(Machine& machine, std::u16string_view pattern);

// Replaces `path` by its first match when its last component holds * or ?; false, leaving the
// path as it was, when it holds none there or nothing matches.
bool ResolveWildcardPath(Machine& machine, std::u16string& path);

} // namespace tarn::rules
