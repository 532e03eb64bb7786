// The installer functions as Wine's msi.dll answers them from the registry (dlls/msi/msi.c and
// registry.c): the same keys in the same order, the same result codes and buffer handling.
// Installer keys are always read through the native view (msi.dll opens them with
// KEY_WOW64_64KEY).
#include "machine/image/installerdata.h"

#include "machine/image/shelllink.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace tarn::image {

namespace {

constexpr UINT kErrorUnknownProperty = 1608;
constexpr UINT kErrorFunctionFailed = 1627;

constexpr int kInstallStateNotUsed = -7;
constexpr int kInstallStateMoreData = -3;
constexpr int kInstallStateInvalidArg = -2;
constexpr int kInstallStateUnknown = -1;
constexpr int kInstallStateAbsent = 2;
constexpr int kInstallStateLocal = 3;

constexpr std::size_t kSquashedChars = 32;
// A shortcut file larger than this is not one msi reads.
constexpr std::size_t kShortcutLimit = 1 << 20;

constexpr std::u16string_view kUserData =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";
constexpr std::u16string_view kManaged =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed\\";

bool IsHex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// msi's squash_guid: "{12345678-9ABC-DEF0-1234-56789ABCDEF0}" as 32 digits, each group
// reversed and the last eight bytes' digit pairs swapped (case kept); nothing when the text is
// not a braced GUID (CLSIDFromString's test).
std::optional<std::u16string> Squash(const char16_t* code) {
    if (code == nullptr) {
        return std::nullopt;
    }
    const std::u16string_view text(code);
    if (text.size() != 38 || text[0] != u'{' || text[37] != u'}') {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != u'-' : !IsHex(text[i])) {
            return std::nullopt;
        }
    }
    std::u16string out(kSquashedChars, u'0');
    std::size_t n = 1;
    for (std::size_t i = 0; i < 8; ++i) {
        out[7 - i] = text[n++];
    }
    ++n;
    for (std::size_t i = 0; i < 4; ++i) {
        out[11 - i] = text[n++];
    }
    ++n;
    for (std::size_t i = 0; i < 4; ++i) {
        out[15 - i] = text[n++];
    }
    ++n;
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == 2) {
            ++n;
        }
        out[17 + i * 2] = text[n++];
        out[16 + i * 2] = text[n++];
    }
    return out;
}

// msi's unsquash_guid; nothing when the text is not 32 characters long.
std::optional<std::u16string> Unsquash(std::u16string_view in) {
    if (in.size() != kSquashedChars) {
        return std::nullopt;
    }
    std::u16string out = u"{";
    for (std::size_t i = 0; i < 8; ++i) {
        out += in[7 - i];
    }
    out += u'-';
    for (std::size_t i = 0; i < 4; ++i) {
        out += in[11 - i];
    }
    out += u'-';
    for (std::size_t i = 0; i < 4; ++i) {
        out += in[15 - i];
    }
    out += u'-';
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == 2) {
            out += u'-';
        }
        out += in[17 + i * 2];
        out += in[16 + i * 2];
    }
    return out + u'}';
}

// Copies `text` and its terminator into a code buffer, cut to fit.
void CopyCode(std::u16string_view text, GuidBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    const std::size_t length = std::min(text.size(), kGuidChars - 1);
    std::copy_n(text.begin(), length, *buffer);
    (*buffer)[length] = u'\0';
}

// The properties msi reads from InstallProperties (two renamed) and from the product key.
constexpr std::u16string_view kInstallProperties[] = {
    u"HelpLink",        u"HelpTelephone", u"InstallDate",  u"InstalledProductName",
    u"InstallLocation", u"InstallSource", u"LocalPackage", u"Publisher",
    u"URLInfoAbout",    u"URLUpdateInfo", u"VersionMinor", u"VersionMajor",
    u"VersionString",   u"ProductID",     u"RegCompany",   u"RegOwner",
};
constexpr std::u16string_view kProductProperties[] = {
    u"InstanceType", u"Transforms", u"Language",    u"ProductName", u"AssignmentType",
    u"PackageCode",  u"Version",    u"ProductIcon", u"PackageName", u"AuthorizedLUAApp",
};

bool Listed(std::u16string_view property, std::span<const std::u16string_view> names) {
    return std::find(names.begin(), names.end(), property) != names.end();
}

class ImageInstaller final : public InstallerLibrary {
public:
    ImageInstaller(const ImageRegistry& registry, const ImageFiles& files, std::u16string userSid)
        : registry_(registry), files_(files), userSid_(std::move(userSid)) {}

    bool Has(const char* functionName) const override {
        static constexpr std::string_view kFunctions[] = {
            "MsiGetProductInfoW", "MsiEnumRelatedProductsW", "MsiGetShortcutTargetW",
            "MsiGetComponentPathW"};
        return functionName != nullptr &&
               std::find(std::begin(kFunctions), std::end(kFunctions),
                         std::string_view(functionName)) != std::end(kFunctions);
    }

    UINT GetProductInfo(const char16_t* product, const char16_t* property, char16_t* value,
                        DWORD* count) override {
        if ((value != nullptr && count == nullptr) || product == nullptr || property == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        const std::optional<std::u16string> squashed = Squash(product);
        if (!squashed) {
            return ERROR_INVALID_PARAMETER;
        }
        // Managed, then unmanaged per-user, then per-machine (MSIREG_OpenProductKey).
        std::optional<Key> productKey;
        bool machine = false;
        if (Key managed{false, std::u16string(kManaged) + userSid_ + u"\\Installer\\Products\\" +
                                   *squashed};
            Exists(managed)) {
            productKey = managed;
        } else if (Key user{true, u"Software\\Microsoft\\Installer\\Products\\" + *squashed};
                   Exists(user)) {
            productKey = user;
        } else if (Key machineKey{false, u"Software\\Classes\\Installer\\Products\\" + *squashed};
                   Exists(machineKey)) {
            productKey = machineKey;
            machine = true;
        }
        std::u16string_view name = property;
        std::u16string text;
        bool badConfiguration = false;
        if (Listed(name, kInstallProperties)) {
            if (!productKey) {
                return ERROR_UNKNOWN_PRODUCT;
            }
            const Key properties{false, std::u16string(kUserData) +
                                            (machine ? std::u16string(kLocalSystemSid) : userSid_) +
                                            u"\\Products\\" + *squashed + u"\\InstallProperties"};
            if (!Exists(properties)) {
                return kErrorUnknownProperty;
            }
            if (name == u"InstalledProductName") {
                name = u"DisplayName";
            } else if (name == u"VersionString") {
                name = u"DisplayVersion";
            }
            text = Text(properties, name).value_or(u"");
        } else if (Listed(name, kProductProperties)) {
            if (!productKey) {
                return ERROR_UNKNOWN_PRODUCT;
            }
            if (name == u"AssignmentType") {
                name = u"Assignment";
            }
            if (name == u"PackageName") {
                text = Text({productKey->user, productKey->path + u"\\SourceList"}, u"PackageName")
                           .value_or(u"");
            } else {
                const std::optional<RegistryValue> raw = Raw(*productKey, name);
                text = Text(*productKey, name).value_or(u"");
                if (name == u"PackageCode" && raw && raw->type != 4 && !text.empty()) {
                    if (const std::optional<std::u16string> code = Unsquash(text)) {
                        text = *code;
                    } else {
                        badConfiguration = true;
                    }
                }
            }
        } else {
            return kErrorUnknownProperty;
        }
        UINT answer = ERROR_SUCCESS;
        if (count != nullptr) {
            const std::size_t length = text.size();
            if (value != nullptr) {
                if (length < *count) {
                    std::copy(text.begin(), text.end(), value);
                    value[length] = u'\0';
                } else {
                    answer = ERROR_MORE_DATA;
                }
            }
            if (!badConfiguration) {
                *count = static_cast<DWORD>(length);
            }
        }
        return badConfiguration ? ERROR_BAD_CONFIGURATION : answer;
    }

    UINT EnumRelatedProducts(const char16_t* upgradeCode, DWORD, DWORD index,
                             GuidBuffer& productCode) override {
        if (upgradeCode == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        // Only the machine's upgrade codes, as Wine's msi.dll reads them.
        const std::optional<std::u16string> squashed = Squash(upgradeCode);
        const std::u16string path =
            u"Software\\Classes\\Installer\\UpgradeCodes\\" + squashed.value_or(u"");
        if (!squashed || !registry_.MachineKeyExists(path, RegistryView::Native)) {
            return ERROR_NO_MORE_ITEMS;
        }
        const std::vector<std::u16string> names =
            registry_.MachineValueNames(path, RegistryView::Native);
        if (index >= names.size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        if (names[index].size() > kSquashedChars) {
            return ERROR_MORE_DATA; // RegEnumValueW into msi's 33-character buffer
        }
        if (const std::optional<std::u16string> code = Unsquash(names[index])) {
            CopyCode(*code, &productCode);
        }
        return ERROR_SUCCESS;
    }

    UINT GetShortcutTarget(const char16_t* shortcutPath, GuidBuffer* productCode,
                           GuidBuffer* featureId, GuidBuffer* componentCode) override {
        if (shortcutPath == nullptr) {
            return kErrorFunctionFailed;
        }
        const std::optional<std::vector<std::uint8_t>> bytes =
            files_.Read(shortcutPath, kShortcutLimit);
        const std::optional<ShortcutTarget> target = bytes ? ReadShortcut(*bytes) : std::nullopt;
        // A link that does not load or has no Darwin block: no descriptor to decompose.
        if (!target || !target->advertised) {
            return kErrorFunctionFailed;
        }
        CopyCode(target->productCode, productCode);
        CopyCode(target->featureId, featureId);
        CopyCode(target->componentCode, componentCode);
        return ERROR_SUCCESS;
    }

    int GetComponentPath(const char16_t* product, const char16_t* component, char16_t* path,
                         DWORD* count) override {
        if (product == nullptr || component == nullptr || (path != nullptr && count == nullptr)) {
            return kInstallStateInvalidArg;
        }
        const std::optional<std::u16string> squashedProduct = Squash(product);
        const std::optional<std::u16string> squashedComponent = Squash(component);
        if (!squashedProduct || !squashedComponent) {
            return kInstallStateInvalidArg;
        }
        std::optional<std::u16string> keyPath;
        int state = kInstallStateUnknown;
        // MSI_GetComponentPath: the component's key path from the first UserData that has the
        // component (local system, then the user); local when the product is installed by
        // Windows Installer and the path exists.
        if (const std::optional<Key> components = ComponentKey(*squashedComponent)) {
            keyPath = Text(*components, *squashedProduct);
            state = kInstallStateAbsent;
            const std::u16string products = std::u16string(kUserData);
            const Key machineProperties{false, products + kLocalSystemSid + u"\\Products\\" +
                                                   *squashedProduct + u"\\InstallProperties"};
            const Key userProduct{false, products + userSid_ + u"\\Products\\" + *squashedProduct};
            const std::optional<Key> installed = Exists(machineProperties)
                                                     ? std::optional(machineProperties)
                                                 : Exists(userProduct) ? std::optional(userProduct)
                                                                       : std::nullopt;
            if (installed && Raw(*installed, u"WindowsInstaller") &&
                ValueNumber(*Raw(*installed, u"WindowsInstaller")) && PathExists(keyPath)) {
                state = kInstallStateLocal;
            }
        }
        if (state != kInstallStateLocal &&
            (Exists({true, u"Software\\Microsoft\\Installer\\Products\\" + *squashedProduct}) ||
             Exists({false, u"Software\\Classes\\Installer\\Products\\" + *squashedProduct}))) {
            if (const std::optional<Key> components = ComponentKey(*squashedComponent)) {
                keyPath = Text(*components, *squashedProduct);
                state = PathExists(keyPath) ? kInstallStateLocal : kInstallStateAbsent;
            }
        }
        if (!keyPath) {
            return kInstallStateUnknown;
        }
        if (state == kInstallStateLocal && keyPath->empty()) {
            state = kInstallStateNotUsed;
        }
        // msi_strcpy_to_awstring: as much as fits, terminated; the full length back.
        if (count != nullptr) {
            const std::size_t length = keyPath->size();
            if (path != nullptr && *count > 0) {
                const std::size_t copied = std::min<std::size_t>(length, *count - 1);
                std::copy_n(keyPath->begin(), copied, path);
                path[copied] = u'\0';
            }
            if (length >= *count) {
                state = kInstallStateMoreData;
            }
            *count = static_cast<DWORD>(length);
        }
        return state;
    }

private:
    // A key of HKEY_LOCAL_MACHINE (native view), or of the user's hive.
    struct Key {
        bool user = false;
        std::u16string path;
    };

    bool Exists(const Key& key) const {
        return key.user ? registry_.UserKeyExists(userSid_, key.path)
                        : registry_.MachineKeyExists(key.path, RegistryView::Native);
    }

    std::optional<RegistryValue> Raw(const Key& key, std::u16string_view name) const {
        return key.user ? registry_.UserValue(userSid_, key.path, name)
                        : registry_.MachineValue(key.path, name, RegistryView::Native);
    }

    // msi's reg_get_value: REG_SZ as it is, REG_DWORD as signed decimal text, nothing else.
    std::optional<std::u16string> Text(const Key& key, std::u16string_view name) const {
        const std::optional<RegistryValue> value = Raw(key, name);
        if (!value) {
            return std::nullopt;
        }
        if (value->type == 1) {
            return ValueText(*value);
        }
        if (const std::optional<std::uint32_t> number = ValueNumber(*value)) {
            const std::string digits = std::to_string(static_cast<std::int32_t>(*number));
            return std::u16string(digits.begin(), digits.end());
        }
        return std::nullopt;
    }

    // open_userdata_comp_key for every context: the local system's, then the user's.
    std::optional<Key> ComponentKey(const std::u16string& squashedComponent) const {
        for (const std::u16string_view sid :
             {std::u16string_view(kLocalSystemSid), std::u16string_view(userSid_)}) {
            Key key{false, std::u16string(kUserData) + std::u16string(sid) + u"\\Components\\" +
                               squashedComponent};
            if (Exists(key)) {
                return key;
            }
        }
        return std::nullopt;
    }

    // GetFileAttributesW's test: registry key paths ("02:\\...") and empty text name no file.
    bool PathExists(const std::optional<std::u16string>& path) const {
        return path && !path->empty() && files_.Resolve(*path).has_value();
    }

    const ImageRegistry& registry_;
    const ImageFiles& files_;
    std::u16string userSid_;
};

} // namespace

std::unique_ptr<InstallerLibrary>
OpenImageInstaller(const ImageRegistry& registry, const ImageFiles& files, std::u16string userSid) {
    return std::make_unique<ImageInstaller>(registry, files, std::move(userSid));
}

} // namespace tarn::image
