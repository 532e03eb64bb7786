#include "machine/image/imagemachine.h"

#include "machine/image/filebytes.h"
#include "machine/image/installerdata.h"
#include "machine/image/osversion.h"
#include "machine/image/peversion.h"
#include "machine/image/shellfolders.h"
#include "machine/image/shelllink.h"
#include "machine/image/userenvironment.h"
#include "utility/text/strings.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace tarn::image {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPathCharacters = 260;          // MAX_PATH, terminator included
constexpr std::size_t kLargestShortcut = 1024 * 1024; // the shell reads no more of a link
constexpr char16_t kWineDrives[] = u"Software\\Wine\\Drives";
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);

class ImageToken final : public UserToken {
public:
    explicit ImageToken(ImageUser user) : user_(std::move(user)) {}
    const ImageUser& User() const noexcept { return user_; }

private:
    ImageUser user_;
};

// GetDriveTypeW's number for a drive kind that Wine's drive settings name.
UINT WineDriveType(std::u16string_view kind) {
    constexpr std::pair<std::u16string_view, UINT> kKinds[] = {
        {u"floppy", 2}, {u"hd", 3}, {u"network", 4}, {u"cdrom", 5}, {u"ramdisk", 6}};
    for (const auto& [name, type] : kKinds) {
        if (EqualsAsciiNoCase(kind, name)) {
            return type;
        }
    }
    return ImageFileSystem::kFixed;
}

bool IsInside(const fs::path& path, const fs::path& root) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    const fs::path base = fs::canonical(root, error);
    if (error) {
        return false;
    }
    const auto [end, ignored] =
        std::mismatch(base.begin(), base.end(), resolved.begin(), resolved.end());
    return end == base.end();
}

std::string ClassIdText(const GUID& id) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                  id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

} // namespace

std::unique_ptr<ImageMachine> ImageMachine::Open(const ImageOptions& options, std::string& error) {
    std::unique_ptr<ImageMachine> machine(new ImageMachine());
    if (!machine->Configure(options, error)) {
        return nullptr;
    }
    return machine;
}

bool ImageMachine::Configure(const ImageOptions& options, std::string& error) {
    registry_ = ImageRegistry::Open(options.root, error);
    if (!registry_) {
        return false;
    }
    const bool winePrefix = registry_->IsWinePrefix();
    MapDrives(options.root, winePrefix);
    const std::optional<RegistryValue> architecture =
        registry_->MachineValue(u"System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                                u"PROCESSOR_ARCHITECTURE", RegistryView::Native);
    const std::optional<std::u16string> name =
        architecture ? ValueText(*architecture) : std::nullopt;
    os64_ = name ? !EqualsAsciiNoCase(*name, u"x86")
                 : files_.Resolve(u"C:\\Windows\\SysWOW64").has_value();
    if (options.componentBits == 64 && !os64_) {
        error = "a 64-bit component cannot run on the image's 32-bit Windows";
        return false;
    }
    component64_ = options.componentBits == 0 ? os64_ : options.componentBits == 64;
    if (os64_ && !component64_) {
        RedirectSystemFolder();
    }
    version_ = ReadOsVersion(*registry_);
    // Who the component runs as there: the prefix's own user under Wine, the local system
    // account as the agent's service on Windows.
    const std::vector<ImageUser>& users = registry_->Users();
    const auto account = std::find_if(users.begin(), users.end(), [&](const ImageUser& user) {
        return (user.sid == kLocalSystemSid) != winePrefix;
    });
    processAccount_ =
        account != users.end() ? *account : ImageUser{kLocalSystemSid, u"SYSTEM", u""};
    if (!options.user.empty()) {
        const auto user = std::find_if(users.begin(), users.end(), [&](const ImageUser& candidate) {
            return EqualsAsciiNoCase(candidate.name, options.user);
        });
        if (user == users.end()) {
            error = "the image has no user profile '" + Utf16ToUtf8(options.user) + "' (it has:";
            for (const ImageUser& known : users) {
                error += " " + Utf16ToUtf8(known.name);
            }
            error += ")";
            return false;
        }
        impersonated_ = *user;
    }
    return true;
}

void ImageMachine::MapDrives(const fs::path& root, bool winePrefix) {
    if (!winePrefix) {
        files_.MapDrive(u'C', root);
        return;
    }
    // The prefix's own drives; those that lead out of it (Z: is the host's root) are not part
    // of the image.
    std::error_code error;
    for (fs::directory_iterator it(root / "dosdevices", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() != 2 || name[1] != ':' || !IsInside(it->path(), root)) {
            continue;
        }
        const std::u16string letter(1, static_cast<char16_t>(name[0]));
        const std::optional<RegistryValue> kind =
            registry_->MachineValue(kWineDrives, letter + u":", RegistryView::Native);
        const std::optional<std::u16string> text = kind ? ValueText(*kind) : std::nullopt;
        std::error_code unresolved;
        const fs::path folder = fs::canonical(it->path(), unresolved);
        if (!unresolved) {
            files_.MapDrive(letter[0], folder,
                            text ? WineDriveType(*text) : ImageFileSystem::kFixed);
        }
    }
    if (files_.DriveType(u"C:\\") == ImageFileSystem::kNoRootDirectory) {
        files_.MapDrive(u'C', root / "drive_c");
    }
}

void ImageMachine::RedirectSystemFolder() {
    const std::optional<RegistryValue> root = registry_->MachineValue(
        u"Software\\Microsoft\\Windows NT\\CurrentVersion", u"SystemRoot", RegistryView::Native);
    const std::optional<std::u16string> text = root ? ValueText(*root) : std::nullopt;
    if (std::optional<WindowsPath> windows = ParseWindowsPath(text.value_or(u"C:\\Windows"))) {
        files_.RedirectSystemFolder(std::move(*windows));
    }
}

RegistryView ImageMachine::View() const {
    return component64_ || !os64_ ? RegistryView::Native : RegistryView::Wow64_32;
}

std::vector<std::string> ImageMachine::TakeNotes() {
    const std::lock_guard lock(mutex_);
    return std::exchange(notes_, {});
}

std::unique_ptr<InstallerLibrary> ImageMachine::LoadInstaller() {
    return OpenImageInstaller(*registry_, files_, processAccount_.sid);
}

ThreadTokenAnswer ImageMachine::OpenThreadToken() {
    if (!impersonated_) {
        return {nullptr, ERROR_NO_TOKEN};
    }
    return {std::make_unique<ImageToken>(*impersonated_), ERROR_SUCCESS};
}

const Environment& ImageMachine::EnvironmentOf(const ImageUser& user) {
    const std::lock_guard lock(mutex_);
    auto found = environments_.find(user.sid);
    if (found == environments_.end()) {
        found =
            environments_.emplace(user.sid, BuildEnvironment(*registry_, user, os64_, component64_))
                .first;
    }
    return found->second;
}

FolderAnswer ImageMachine::ShellFolderPath(std::int32_t csidl, const UserToken* token) {
    const std::optional<std::u16string_view> folder = FolderTemplate(csidl, os64_);
    if (!folder) {
        return {E_INVALIDARG, {}};
    }
    const ImageUser& user =
        token != nullptr ? static_cast<const ImageToken*>(token)->User() : processAccount_;
    std::u16string path = ExpandVariables(*folder, EnvironmentOf(user));
    if (path.size() >= kPathCharacters || !files_.Resolve(path)) {
        return {kFileNotFound, {}};
    }
    return {S_OK, std::move(path)};
}

std::optional<std::u16string> ImageMachine::ExpandForUser(const UserToken& token,
                                                          std::u16string_view text) {
    std::u16string expanded =
        ExpandVariables(text, EnvironmentOf(static_cast<const ImageToken&>(token).User()));
    if (expanded.size() >= kPathCharacters) {
        return std::nullopt;
    }
    return expanded;
}

ProcessExpansion ImageMachine::ExpandForProcess(std::u16string_view text) {
    std::u16string expanded = ExpandVariables(text, EnvironmentOf(processAccount_));
    const auto needed = static_cast<DWORD>(expanded.size() + 1);
    return {needed, ERROR_SUCCESS, std::move(expanded)};
}

bool ImageMachine::PathExists(std::u16string_view path) {
    return files_.Resolve(path).has_value();
}

SearchAnswer ImageMachine::FindFiles(std::u16string_view pattern) {
    return files_.Search(pattern);
}

UINT ImageMachine::DriveType(std::u16string_view root) {
    return files_.DriveType(root);
}

std::optional<std::vector<std::uint8_t>> ImageMachine::VersionResourceOf(std::u16string_view path) {
    {
        const std::lock_guard lock(mutex_);
        if (versionResource_ && versionPath_ == path) {
            return versionResource_;
        }
    }
    const std::optional<fs::path> file = files_.Resolve(path);
    std::optional<std::vector<std::uint8_t>> resource;
    if (file) {
        const FileBytes bytes(*file);
        resource = VersionResource(bytes.Bytes());
    }
    const std::lock_guard lock(mutex_);
    versionPath_ = path;
    versionResource_ = resource;
    return resource;
}

DWORD ImageMachine::VersionResourceSize(std::u16string_view path) {
    const std::optional<std::vector<std::uint8_t>> resource = VersionResourceOf(path);
    // Room for the text converted to ANSI as well, as the version library reserves it.
    return resource ? static_cast<DWORD>(resource->size() * 2 + 4) : 0;
}

DWORD ImageMachine::ReadVersionResource(std::u16string_view path,
                                        std::vector<std::uint8_t>& resource) {
    const std::optional<std::vector<std::uint8_t>> found = VersionResourceOf(path);
    if (!found) {
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    std::fill(resource.begin(), resource.end(), 0);
    std::copy_n(found->begin(), std::min(found->size(), resource.size()), resource.begin());
    return ERROR_SUCCESS;
}

VersionValueAnswer ImageMachine::QueryVersionValue(const std::vector<std::uint8_t>& resource,
                                                   std::u16string_view block) {
    std::optional<std::vector<std::uint8_t>> value = VersionValue(resource, block);
    if (!value) {
        return {false, ERROR_RESOURCE_TYPE_NOT_FOUND, {}};
    }
    return {true, ERROR_SUCCESS, std::move(*value)};
}

ShellLinkAnswer ImageMachine::ShellLinkTarget(std::u16string_view shortcutPath) {
    const std::optional<std::vector<std::uint8_t>> bytes =
        files_.Read(shortcutPath, kLargestShortcut);
    const std::optional<ShortcutTarget> link = bytes ? ReadShortcut(*bytes) : std::nullopt;
    if (!link || link->advertised || link->localPath.empty()) {
        return {S_FALSE, {}};
    }
    return {S_OK, link->localPath.substr(0, kPathCharacters - 1)};
}

bool ImageMachine::LocalMachineKeyExists(std::u16string_view subkey) {
    // Rules probe the same few keys again and again (the network switch before every version
    // read), and an image does not change while it is evaluated.
    const std::lock_guard lock(mutex_);
    const auto known = keysFound_.find(subkey);
    if (known != keysFound_.end()) {
        return known->second;
    }
    const bool exists = registry_->MachineKeyExists(subkey, View());
    keysFound_.emplace(subkey, exists);
    return exists;
}

RegistryValueAnswer ImageMachine::ReadLocalMachineValue(std::u16string_view subkey,
                                                        std::u16string_view name) {
    std::optional<RegistryValue> value = registry_->MachineValue(subkey, name, View());
    if (!value) {
        return {};
    }
    return {ERROR_SUCCESS, value->type, std::move(value->bytes)};
}

bool ImageMachine::GetVersionRecord(DWORD size, OsVersionRecord& record) {
    if (!version_ || (size != kVersionRecordExtendedSize && size != kVersionRecordBasicSize)) {
        return false;
    }
    record = *version_;
    record.size = size;
    if (size == kVersionRecordBasicSize) {
        record.servicePackMajor = record.servicePackMinor = record.suiteMask = 0;
        record.productType = 0;
    }
    return true;
}

RuleEngineAnswer ImageMachine::CreateRuleEngine(const GUID& classId) {
    const std::lock_guard lock(mutex_);
    notes_.push_back("rule engine " + ClassIdText(classId) +
                     " not created: other components' engines run only on Windows");
    return {REGDB_E_CLASSNOTREG, nullptr};
}

} // namespace tarn::image
