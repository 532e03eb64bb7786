// The replacement values that the module offers to every registration script: the AppID, the
// module's directory (long and short), the type library ID, the product version in several
// forms and the file description, all read from the module file itself.
#pragma once

#include "utility/platform/wintypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn::provider {

// The version parts as registration scripts see them.
struct VersionParts {
    int major = 0;
    int minor = 0;
    int build = 0;
    int revision = 0;
};

// From the product version of a fixed file-version record (major and minor in the high and
// low word of `ms`, the third and fourth part in those of `ls`). Builds below 7.5 wrote the
// build number into the fourth part: there, a third part of 0 or a fourth part of at least
// 100 means the two are swapped.
VersionParts SplitProductVersion(std::uint32_t ms, std::uint32_t ls) noexcept;

// A loaded version resource, as far as the replacement values read it.
class VersionResource {
public:
    virtual ~VersionResource() = default;
    // The product version words; false when the resource has no fixed file information.
    virtual bool ProductVersion(std::uint32_t& ms, std::uint32_t& ls) const = 0;
    // The language and code page pairs of "\VarFileInfo\Translation", in order.
    virtual std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const = 0;
    // The string value at `subBlock`; empty when there is none.
    virtual std::u16string String(const std::u16string& subBlock) const = 0;
};

// The FileDescription string: under each translation in turn, then under the usual language
// and code page blocks; empty when none holds a non-empty one.
std::u16string FileDescription(const VersionResource& resource);

// The module file whose values are offered.
class ModuleFile {
public:
    virtual ~ModuleFile() = default;
    // The file's full path (at most 260 characters), or the failure that kept it from being read.
    virtual HRESULT Path(std::u16string& path) = 0;
    // The short (8.3) form of a directory.
    virtual HRESULT ShortPath(const std::u16string& directory, std::u16string& shortPath) = 0;
    // Raises a _com_error when the file's version resource cannot be loaded at all.
    virtual std::unique_ptr<VersionResource> LoadVersionResource() = 0;
};

// Receives the values one by one; a failure stops the computation.
class ReplacementSink {
public:
    virtual HRESULT Add(const char16_t* name, std::u16string_view value) = 0;

protected:
    ~ReplacementSink() = default;
};

// Adds APPID, MODULE_PATH, MODULE_PATH_SHORT, LIBID, VERSION_MAJOR, VERSION_MINOR,
// VERSION_REVISION, VERSION_BUILD, VERSION_3, VERSION_4 and NAME, in that order (the two
// directory values only when the path holds a backslash). Returns the first failure, each
// reported as a warning under its fixed position; raises when the version resource cannot
// be loaded.
HRESULT AddModuleReplacements(ModuleFile& module, ReplacementSink& sink);

// Names and values in the order added, and the text expansion that scripts use.
class Replacements final : public ReplacementSink {
public:
    HRESULT Add(const char16_t* name, std::u16string_view value) override;

    // `text` with every "%NAME%" replaced by its value (names matched without regard to ASCII
    // case) and "%%" by "%"; false when a name has no value or a "%" is left open.
    bool Expand(std::u16string_view text, std::u16string& out) const;

private:
    const std::u16string* Find(std::u16string_view name) const noexcept;

    std::vector<std::pair<std::u16string, std::u16string>> values_;
};

} // namespace tarn::provider
