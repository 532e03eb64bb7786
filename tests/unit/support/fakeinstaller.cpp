#include "support/fakeinstaller.h"

#include "utility/text/strings.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace tarn::test {

namespace {

constexpr UINT kErrorUnknownProperty = 1608;
constexpr UINT kErrorFunctionFailed = 1627;
constexpr int kInstallStateUnknown = -1;
// Written over every promised character before an answer, so that an undersized buffer is hit.
constexpr char16_t kPoison = u'\x2592';

constexpr char16_t kShortcutProduct[] = u"{0D7A8A61-5B4E-4C3A-9B1E-6C2B7E0F4A10}";

constexpr const char* kFunctions[] = {"MsiGetProductInfoW", "MsiEnumRelatedProductsW",
                                      "MsiGetShortcutTargetW", "MsiGetComponentPathW"};

std::u16string Key(std::u16string_view code) {
    std::u16string key(code);
    std::transform(key.begin(), key.end(), key.begin(), AsciiLower);
    return key;
}

// The installer's way of handing out a text: the length goes into *count; the text fits when
// it is shorter than the capacity, else it is cut and the answer is ERROR_MORE_DATA.
UINT CopyOut(std::u16string_view text, char16_t* value, DWORD* count) {
    const auto length = static_cast<DWORD>(text.size());
    if (value == nullptr) {
        if (count != nullptr) {
            *count = length;
        }
        return ERROR_SUCCESS;
    }
    const DWORD capacity = *count;
    std::fill(value, value + capacity, kPoison);
    *count = length;
    if (capacity == 0) {
        return ERROR_MORE_DATA;
    }
    const std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
    std::copy_n(text.data(), n, value);
    value[n] = u'\0';
    return length < capacity ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

// Whether `text` is a braced GUID as the installer writes it.
bool IsBracedGuid(std::u16string_view text) noexcept {
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const bool hyphen = i == 9 || i == 14 || i == 19 || i == 24;
        if (hyphen ? text[i] != u'-' : HexDigitValue(text[i]) < 0) {
            return false;
        }
    }
    return true;
}

} // namespace

class FakeInstaller::Library final : public InstallerLibrary {
public:
    explicit Library(FakeInstaller& owner) : owner_(owner) {
        ++owner_.loads_;
        ++owner_.loaded_;
    }
    ~Library() override { --owner_.loaded_; }

    bool Has(const char* functionName) const override {
        const bool known =
            std::any_of(std::begin(kFunctions), std::end(kFunctions),
                        [&](const char* f) { return std::strcmp(f, functionName) == 0; });
        return known && owner_.removed_.count(functionName) == 0;
    }

    UINT GetProductInfo(const char16_t* product, const char16_t* property, char16_t* value,
                        DWORD* count) override {
        if (!Callable("MsiGetProductInfoW")) {
            return ERROR_PROC_NOT_FOUND;
        }
        return owner_.GetProductInfo(product, property, value, count);
    }

    UINT EnumRelatedProducts(const char16_t* upgradeCode, DWORD reserved, DWORD index,
                             GuidBuffer& productCode) override {
        if (!Callable("MsiEnumRelatedProductsW")) {
            return ERROR_PROC_NOT_FOUND;
        }
        return owner_.EnumRelatedProducts(upgradeCode, reserved, index, productCode);
    }

    UINT GetShortcutTarget(const char16_t* path, GuidBuffer* product, GuidBuffer*,
                           GuidBuffer* component) override {
        if (!Callable("MsiGetShortcutTargetW")) {
            return ERROR_PROC_NOT_FOUND;
        }
        const auto found = owner_.shortcuts_.find(path);
        if (found == owner_.shortcuts_.end()) {
            return kErrorFunctionFailed;
        }
        std::copy_n(kShortcutProduct, kGuidChars, *product);
        std::copy_n(found->second.first.c_str(), kGuidChars, *component);
        return ERROR_SUCCESS;
    }
    int GetComponentPath(const char16_t* product, const char16_t* component, char16_t* path,
                         DWORD* count) override {
        if (!Callable("MsiGetComponentPathW")) {
            return kInstallStateUnknown;
        }
        std::fill_n(path, *count, kPoison);
        path[0] = u'\0';
        for (const auto& [shortcut, target] : owner_.shortcuts_) {
            if (std::u16string_view(product) == kShortcutProduct && target.first == component) {
                return target.second;
            }
        }
        return kInstallStateUnknown;
    }

private:
    bool Callable(const char* functionName) {
        if (Has(functionName)) {
            return true;
        }
        owner_.Violation(std::string("called the missing function ") + functionName);
        return false;
    }

    FakeInstaller& owner_;
};

void FakeInstaller::AddAdvertisedShortcut(const std::u16string& path,
                                          const std::u16string& component, int state) {
    if (component.size() != kGuidChars - 1) {
        throw std::invalid_argument("a component code has 38 characters");
    }
    shortcuts_[path] = {component, state};
}

void FakeInstaller::AddProduct(const std::u16string& productCode,
                               std::optional<std::u16string> version) {
    products_[Key(productCode)].version = std::move(version);
}

void FakeInstaller::SetProductAnswer(const std::u16string& productCode, UINT answer) {
    products_[Key(productCode)].answer = answer;
}

void FakeInstaller::AddRelated(const std::u16string& upgradeCode,
                               const std::u16string& productCode) {
    if (productCode.size() >= kGuidChars) {
        throw std::invalid_argument("an installer product code has at most 38 characters");
    }
    families_[Key(upgradeCode)].products.push_back(productCode);
}

void FakeInstaller::FailEnumeration(const std::u16string& upgradeCode, DWORD index, UINT answer) {
    families_[Key(upgradeCode)].failures[index] = answer;
}

std::unique_ptr<InstallerLibrary> FakeInstaller::Load() {
    if (!loadable_) {
        return nullptr;
    }
    return std::make_unique<Library>(*this);
}

std::optional<std::u16string> FakeInstaller::PropertyOf(Product& product,
                                                        std::u16string_view property) {
    if (property == u"VersionString") {
        return product.version;
    }
    if (property == u"ProductName") {
        return u"Scripted product";
    }
    return std::nullopt;
}

UINT FakeInstaller::GetProductInfo(const char16_t* product, const char16_t* property,
                                   char16_t* value, DWORD* count) {
    if (value != nullptr && count == nullptr) {
        Violation("MsiGetProductInfoW: a value buffer without a count");
        return ERROR_INVALID_PARAMETER;
    }
    if (product == nullptr || property == nullptr || !IsBracedGuid(product)) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto found = products_.find(Key(product));
    if (found == products_.end()) {
        return ERROR_UNKNOWN_PRODUCT;
    }
    if (found->second.answer) {
        return *found->second.answer;
    }
    const std::optional<std::u16string> text = PropertyOf(found->second, property);
    if (!text) {
        return kErrorUnknownProperty;
    }
    return CopyOut(*text, value, count);
}

UINT FakeInstaller::EnumRelatedProducts(const char16_t* upgradeCode, DWORD reserved, DWORD index,
                                        GuidBuffer& productCode) {
    std::fill(std::begin(productCode), std::end(productCode), kPoison);
    if (reserved != 0) {
        Violation("MsiEnumRelatedProductsW: reserved is not 0");
        return ERROR_INVALID_PARAMETER;
    }
    if (upgradeCode == nullptr || !IsBracedGuid(upgradeCode)) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto found = families_.find(Key(upgradeCode));
    if (found == families_.end()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const Family& family = found->second;
    if (const auto failure = family.failures.find(index); failure != family.failures.end()) {
        return failure->second;
    }
    if (index >= family.products.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::u16string& code = family.products[index];
    std::copy(code.begin(), code.end(), productCode);
    productCode[code.size()] = u'\0';
    return ERROR_SUCCESS;
}

} // namespace tarn::test
