// A Windows Installer held in memory: products with their versions, upgrade families, scripted
// failures, and a library that can be made unloadable or lack functions. Its functions follow
// the installer's argument rules (codes must be braced GUIDs, a value buffer needs a count)
// and never write beyond the buffers they are handed, but fill every character they were
// promised, so that a caller's buffer smaller than its stated size shows up under
// AddressSanitizer.
#pragma once

#include "machine/installer.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarn::test {

class FakeInstaller {
public:
    // ---- the database ----
    // A product the installer knows; without a version its "VersionString" is unknown.
    void AddProduct(const std::u16string& productCode, std::optional<std::u16string> version);
    // Every MsiGetProductInfoW call for this code answers `answer`, writing nothing.
    void SetProductAnswer(const std::u16string& productCode, UINT answer);
    // A related product of the family, in enumeration order (codes of at most 38 characters).
    void AddRelated(const std::u16string& upgradeCode, const std::u16string& productCode);
    // The enumeration of the family answers `answer` at `index`.
    void FailEnumeration(const std::u16string& upgradeCode, DWORD index, UINT answer);

    // An advertised shortcut leading to a component (a code of 38 characters) whose
    // MsiGetComponentPathW answers `state`.
    void AddAdvertisedShortcut(const std::u16string& path, const std::u16string& component,
                               int state);

    // ---- the library ----
    void SetLoadable(bool loadable) noexcept { loadable_ = loadable; }
    void RemoveFunction(const std::string& name) { removed_.insert(name); }

    // ---- what happened ----
    int Loads() const noexcept { return loads_; }
    // Libraries handed out and not yet released.
    int Loaded() const noexcept { return loaded_; }
    // Contract breaches seen: calls of missing functions, a value without a count, ...
    const std::vector<std::string>& Violations() const noexcept { return violations_; }

    // A library reference, or null when the library is not loadable. It must not outlive this.
    std::unique_ptr<InstallerLibrary> Load();

private:
    class Library;
    friend class Library;

    struct Product {
        std::optional<std::u16string> version;
        std::optional<UINT> answer;
    };
    struct Family {
        std::vector<std::u16string> products;
        std::map<DWORD, UINT> failures;
    };

    UINT GetProductInfo(const char16_t* product, const char16_t* property, char16_t* value,
                        DWORD* count);
    UINT EnumRelatedProducts(const char16_t* upgradeCode, DWORD reserved, DWORD index,
                             GuidBuffer& productCode);
    std::optional<std::u16string> PropertyOf(Product& product, std::u16string_view property);
    void Violation(std::string text) { violations_.push_back(std::move(text)); }

    std::map<std::u16string, Product> products_;                         // by lower-case code
    std::map<std::u16string, Family> families_;                          // by lower-case code
    std::map<std::u16string, std::pair<std::u16string, int>> shortcuts_; // component, state
    std::set<std::string> removed_;
    bool loadable_ = true;
    int loads_ = 0;
    int loaded_ = 0;
    std::vector<std::string> violations_;
};

} // namespace tarn::test
