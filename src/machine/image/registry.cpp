#include "machine/image/registry.h"

#include "utility/text/strings.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarn::image {

namespace {

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegLink = 6;
// Links followed for one lookup at most: more means a cycle.
constexpr int kMaxLinkHops = 16;
constexpr char16_t kLinkValueName[] = u"SymbolicLinkValue";
// Wine's own SID for the prefix's user (user.reg).
constexpr char16_t kWineUserSid[] = u"S-1-5-21-0-0-0-1000";
// Below SOFTWARE.
constexpr char16_t kProfileList[] = u"Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr char16_t kSystemProfile[] = u"C:\\windows\\system32\\config\\systemprofile";

using Path = std::vector<std::u16string>;

// The components of a key path, empty ones (doubled or outer separators) left out.
Path Split(std::u16string_view path) {
    Path parts;
    while (!path.empty()) {
        const std::size_t end = std::min(path.find(u'\\'), path.size());
        if (end > 0) {
            parts.emplace_back(path.substr(0, end));
        }
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return parts;
}

std::u16string Join(const Path& parts, std::size_t from) {
    std::u16string path;
    for (std::size_t i = from; i < parts.size(); ++i) {
        if (!path.empty()) {
            path += u'\\';
        }
        path += parts[i];
    }
    return path;
}

bool StartsWith(const Path& path, const Path& prefix) {
    return path.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), path.begin(),
                      [](const std::u16string& a, const std::u16string& b) {
                          return EqualsAsciiNoCase(a, b);
                      });
}

std::u16string Utf16Bytes(const std::vector<std::uint8_t>& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return text;
}

class TextHive final : public Hive {
public:
    explicit TextHive(RegFile file) : file_(std::move(file)) {}

    bool HasKey(std::u16string_view path) const override { return file_.HasKey(path); }
    std::optional<RegistryValue> Value(std::u16string_view path,
                                       std::u16string_view name) const override {
        const RegistryValue* value = file_.Value(path, name);
        return value != nullptr ? std::optional(*value) : std::nullopt;
    }
    std::vector<std::u16string> Subkeys(std::u16string_view path) const override {
        return file_.Subkeys(path);
    }
    std::vector<std::u16string> ValueNames(std::u16string_view path) const override {
        return file_.ValueNames(path);
    }

private:
    RegFile file_;
};

// The entry of `directory` named `name` without regard to ASCII case (the exact name first).
std::optional<std::filesystem::path> FindEntry(const std::filesystem::path& directory,
                                               std::u16string_view name) {
    std::error_code error;
    const std::filesystem::path exact = directory / std::filesystem::path(std::u16string(name));
    if (std::filesystem::exists(exact, error)) {
        return exact;
    }
    std::filesystem::directory_iterator entries(directory, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (EqualsAsciiNoCase(entries->path().filename().u16string(), name)) {
            return entries->path();
        }
    }
    return std::nullopt;
}

// `relative` ("Windows\\System32\\config\\SOFTWARE") below `root`, each component found
// without regard to case; nothing when one is missing. ".." never leaves the image.
std::optional<std::filesystem::path> FindPath(const std::filesystem::path& root,
                                              std::u16string_view relative) {
    std::filesystem::path path = root;
    for (const std::u16string& part : Split(relative)) {
        if (part == u"." || part == u"..") {
            return std::nullopt;
        }
        std::optional<std::filesystem::path> next = FindEntry(path, part);
        if (!next) {
            return std::nullopt;
        }
        path = std::move(*next);
    }
    return path;
}

// "%SystemDrive%\\Users\\x" and "%SystemRoot%\\..." as the image's own C: drive gives them.
std::u16string ExpandProfilePath(std::u16string path) {
    const struct {
        std::u16string_view variable;
        std::u16string_view value;
    } variables[] = {{u"%SystemDrive%", u"C:"}, {u"%SystemRoot%", u"C:\\Windows"}};
    for (const auto& [variable, value] : variables) {
        if (path.size() >= variable.size() &&
            EqualsAsciiNoCase(std::u16string_view(path).substr(0, variable.size()), variable)) {
            path = std::u16string(value) + path.substr(variable.size());
        }
    }
    return path;
}

// The last component of a Windows path.
std::u16string LeafName(std::u16string_view path) {
    while (!path.empty() && path.back() == u'\\') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.find_last_of(u'\\');
    return std::u16string(slash == path.npos ? path : path.substr(slash + 1));
}

// The host path of "C:\\..." in an image whose root is drive C.
std::optional<std::filesystem::path> FindDrivePath(const std::filesystem::path& root,
                                                   std::u16string_view windowsPath) {
    if (windowsPath.size() < 2 || AsciiLower(windowsPath[0]) != u'c' || windowsPath[1] != u':') {
        return std::nullopt;
    }
    return FindPath(root, windowsPath.substr(2));
}

std::optional<std::u16string> ProfileImagePath(const Hive& software, std::u16string_view sid,
                                               std::u16string_view below) {
    const std::optional<RegistryValue> value = software.Value(
        std::u16string(below) + kProfileList + u'\\' + std::u16string(sid), u"ProfileImagePath");
    std::optional<std::u16string> text = value ? ValueText(*value) : std::nullopt;
    return text && !text->empty() ? std::optional(ExpandProfilePath(*text)) : std::nullopt;
}

} // namespace

std::unique_ptr<Hive> OpenRegTextFile(const std::filesystem::path& file, std::string& error) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    if (!stream || !(text << stream.rdbuf())) {
        error = "cannot read the registry file " + file.string();
        return nullptr;
    }
    const std::string content = std::move(text).str();
    if (!content.starts_with("WINE REGISTRY Version 2")) {
        error = "not a Wine registry file: " + file.string();
        return nullptr;
    }
    return std::make_unique<TextHive>(RegFile::Parse(content));
}

std::optional<std::u16string> ValueText(const RegistryValue& value) {
    if (value.type != kRegSz && value.type != kRegExpandSz) {
        return std::nullopt;
    }
    std::u16string text = Utf16Bytes(value.bytes);
    text.resize(std::min(text.find(u'\0'), text.size()));
    return text;
}

std::optional<std::uint32_t> ValueNumber(const RegistryValue& value) {
    if (value.type != kRegDword || value.bytes.size() < 4) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value.bytes[0]) |
           static_cast<std::uint32_t>(value.bytes[1]) << 8 |
           static_cast<std::uint32_t>(value.bytes[2]) << 16 |
           static_cast<std::uint32_t>(value.bytes[3]) << 24;
}

// Every key is named by its path below \Registry: "Machine\\Software\\...", "User\\<sid>\\...".
// A hive is mounted at such a path; links (a REG_LINK "SymbolicLinkValue", as Wine stores them,
// and CurrentControlSet on a Windows volume) name their target the same way.
struct ImageRegistry::State {
    struct Mount {
        Path at;
        std::shared_ptr<Hive> hive;
    };
    struct Link {
        Path from;
        Path to;
    };
    struct Location {
        const Hive* hive = nullptr;
        std::u16string path;
    };

    // A Wine prefix: one hive for all of HKEY_LOCAL_MACHINE, whose links say what is shared
    // between the views. Otherwise a Windows volume, whose shared keys are the list below.
    bool wine = false;
    std::vector<Mount> mounts;
    std::vector<Link> links;
    std::vector<ImageUser> users;

    const Mount* FindMount(const Path& path) const {
        const Mount* best = nullptr;
        for (const Mount& mount : mounts) {
            if (StartsWith(path, mount.at) &&
                (best == nullptr || mount.at.size() > best->at.size())) {
                best = &mount;
            }
        }
        return best;
    }

    // The target of a link key at the first `length` components of `path`, if it is one.
    std::optional<Path> LinkTarget(const Mount& mount, const Path& path, std::size_t length) const {
        const Path key(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(length));
        for (const Link& link : links) {
            if (link.from.size() == length && StartsWith(key, link.from)) {
                return link.to;
            }
        }
        const std::optional<RegistryValue> value =
            mount.hive->Value(Join(key, mount.at.size()), kLinkValueName);
        if (!value || value->type != kRegLink) {
            return std::nullopt;
        }
        Path target = Split(Utf16Bytes(value->bytes));
        if (target.empty() || !EqualsAsciiNoCase(target.front(), u"Registry")) {
            return std::nullopt;
        }
        target.erase(target.begin());
        return target;
    }

    // The hive and the path in it of the key at `path`, links followed; nothing when no hive
    // holds it or the links go round.
    std::optional<Location> Locate(Path path) const {
        for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
            const Mount* mount = FindMount(path);
            if (mount == nullptr) {
                return std::nullopt;
            }
            bool followed = false;
            for (std::size_t length = mount->at.size() + 1; length <= path.size(); ++length) {
                if (std::optional<Path> target = LinkTarget(*mount, path, length)) {
                    target->insert(target->end(),
                                   path.begin() + static_cast<std::ptrdiff_t>(length), path.end());
                    path = std::move(*target);
                    followed = true;
                    break;
                }
            }
            if (!followed) {
                return Location{mount->hive.get(), Join(path, mount->at.size())};
            }
        }
        return std::nullopt;
    }

    // Whether a 32-bit process's HKLM\\Software\\<rest> is the key itself on a Windows
    // volume. Windows 7 and later share these keys between the views ("Registry Keys Affected
    // by WOW64"; a Wine prefix stores the same list as links from Wow6432Node), and all of
    // Software\\Classes but the few subkeys redirected to Classes\\Wow6432Node.
    static bool SharedOnWindows(const Path& rest) {
        static const std::u16string_view shared[] = {
            u"Microsoft\\COM3",
            u"Microsoft\\Cryptography\\Calais\\Current",
            u"Microsoft\\Cryptography\\Calais\\Readers",
            u"Microsoft\\Cryptography\\Services",
            u"Microsoft\\CTF\\SystemShared",
            u"Microsoft\\CTF\\TIP",
            u"Microsoft\\DFS",
            u"Microsoft\\Driver Signing",
            u"Microsoft\\EnterpriseCertificates",
            u"Microsoft\\EventSystem",
            u"Microsoft\\MSMQ",
            u"Microsoft\\Non-Driver Signing",
            u"Microsoft\\Notepad\\DefaultFonts",
            u"Microsoft\\OLE",
            u"Microsoft\\RAS",
            u"Microsoft\\RPC",
            u"Microsoft\\Software\\Microsoft\\Shared Tools\\MSInfo",
            u"Microsoft\\SystemCertificates",
            u"Microsoft\\TermServLicensing",
            u"Microsoft\\Transaction Server",
            u"Microsoft\\Windows\\CurrentVersion\\App Paths",
            u"Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
            u"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
            u"Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
            u"Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
            u"Microsoft\\Windows\\CurrentVersion\\Group Policy",
            u"Microsoft\\Windows\\CurrentVersion\\Policies",
            u"Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
            u"Microsoft\\Windows\\CurrentVersion\\Setup",
            u"Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
            u"Microsoft\\Windows NT\\CurrentVersion\\Console",
            u"Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
            u"Microsoft\\Windows NT\\CurrentVersion\\FontLink",
            u"Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
            u"Microsoft\\Windows NT\\CurrentVersion\\Fonts",
            u"Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
            u"Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
            u"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
            u"Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
            u"Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
            u"Microsoft\\Windows NT\\CurrentVersion\\Perflib",
            u"Microsoft\\Windows NT\\CurrentVersion\\Ports",
            u"Microsoft\\Windows NT\\CurrentVersion\\Print",
            u"Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
            u"Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
            u"Policies",
            u"Registered Applications",
        };
        return std::any_of(std::begin(shared), std::end(shared),
                           [&](std::u16string_view key) { return StartsWith(rest, Split(key)); });
    }

    // HKLM\\`relative` as a process of `view` sees it, below \Registry.
    Path MachinePath(std::u16string_view relative, RegistryView view) const {
        Path path = Split(relative);
        path.insert(path.begin(), u"Machine");
        const bool software = path.size() >= 3 && EqualsAsciiNoCase(path[1], u"Software") &&
                              !EqualsAsciiNoCase(path[2], u"Wow6432Node");
        if (view != RegistryView::Wow64_32 || !software) {
            return path;
        }
        // A system without Wow6432Node (32-bit Windows, a 32-bit prefix) redirects nothing.
        const std::optional<Location> node = Locate({u"Machine", u"Software", u"Wow6432Node"});
        if (!node || !node->hive->HasKey(node->path)) {
            return path;
        }
        if (wine) {
            path.insert(path.begin() + 2, u"Wow6432Node"); // Wine's links share the rest
            return path;
        }
        const Path rest(path.begin() + 2, path.end());
        if (EqualsAsciiNoCase(rest[0], u"Classes")) {
            static const std::u16string_view redirected[] = {u"CLSID", u"DirectShow", u"Interface",
                                                             u"Media Type", u"MediaFoundation"};
            if (rest.size() >= 2 && std::any_of(std::begin(redirected), std::end(redirected),
                                                [&](std::u16string_view key) {
                                                    return EqualsAsciiNoCase(rest[1], key);
                                                })) {
                path.insert(path.begin() + 3, u"Wow6432Node");
            }
            return path;
        }
        if (!SharedOnWindows(rest)) {
            path.insert(path.begin() + 2, u"Wow6432Node");
        }
        return path;
    }

    static Path UserPath(std::u16string_view sid, std::u16string_view relative) {
        Path path = Split(relative);
        path.insert(path.begin(), {u"User", std::u16string(sid)});
        return path;
    }

    bool KeyExists(const Path& path) const {
        const std::optional<Location> location = Locate(path);
        return location && location->hive->HasKey(location->path);
    }
    std::optional<RegistryValue> Value(const Path& path, std::u16string_view name) const {
        const std::optional<Location> location = Locate(path);
        return location ? location->hive->Value(location->path, name) : std::nullopt;
    }
};

ImageRegistry::ImageRegistry(std::unique_ptr<Hive> software, std::unique_ptr<Hive> system)
    : state_(std::make_unique<State>()) {
    if (system) {
        const std::optional<RegistryValue> current = system->Value(u"Select", u"Current");
        if (const std::optional<std::uint32_t> number =
                current ? ValueNumber(*current) : std::nullopt) {
            std::u16string set = Utf8ToUtf16(std::to_string(*number));
            set.insert(0, 3 - std::min<std::size_t>(set.size(), 3), u'0');
            state_->links.push_back({{u"Machine", u"System", u"CurrentControlSet"},
                                     {u"Machine", u"System", u"ControlSet" + set}});
        }
        state_->mounts.push_back({{u"Machine", u"System"}, std::move(system)});
    }
    if (software) {
        state_->mounts.push_back({{u"Machine", u"Software"}, std::move(software)});
    }
}

ImageRegistry::~ImageRegistry() = default;
ImageRegistry::ImageRegistry(ImageRegistry&&) noexcept = default;
ImageRegistry& ImageRegistry::operator=(ImageRegistry&&) noexcept = default;

bool ImageRegistry::IsWinePrefix() const noexcept {
    return state_->wine;
}

std::unique_ptr<ImageRegistry> ImageRegistry::FromMachineHive(std::unique_ptr<Hive> machine) {
    auto registry = std::make_unique<ImageRegistry>(nullptr, nullptr);
    registry->state_->wine = true;
    registry->state_->mounts.push_back({{u"Machine"}, std::move(machine)});
    return registry;
}

std::unique_ptr<ImageRegistry> ImageRegistry::Open(const std::filesystem::path& root,
                                                   std::string& error) {
    if (const std::optional<std::filesystem::path> systemReg = FindPath(root, u"system.reg")) {
        std::unique_ptr<Hive> machine = OpenRegTextFile(*systemReg, error);
        if (!machine) {
            return nullptr;
        }
        std::unique_ptr<ImageRegistry> registry = FromMachineHive(std::move(machine));
        const Hive& hklm = *registry->state_->mounts.front().hive;
        std::string ignored;
        if (const auto file = FindPath(root, u"userdef.reg")) {
            if (std::unique_ptr<Hive> hive = OpenRegTextFile(*file, ignored)) {
                const std::u16string profile =
                    ProfileImagePath(hklm, kLocalSystemSid, u"Software\\").value_or(kSystemProfile);
                registry->AddUser({kLocalSystemSid, LeafName(profile), profile}, std::move(hive));
            }
        }
        if (const auto file = FindPath(root, u"user.reg")) {
            if (std::unique_ptr<Hive> hive = OpenRegTextFile(*file, ignored)) {
                // The prefix's user is the profile folder that is not Public (the one the
                // profile list names when there are several).
                const std::optional<std::u16string> listed =
                    ProfileImagePath(hklm, kWineUserSid, u"Software\\");
                std::vector<std::u16string> names;
                if (const auto users = FindPath(root, u"drive_c\\users")) {
                    std::error_code code;
                    for (std::filesystem::directory_iterator entry(*users, code);
                         !code && entry != std::filesystem::directory_iterator();
                         entry.increment(code)) {
                        std::u16string name = entry->path().filename().u16string();
                        if (entry->is_directory(code) && !EqualsAsciiNoCase(name, u"Public")) {
                            names.push_back(std::move(name));
                        }
                    }
                }
                std::sort(names.begin(), names.end());
                std::u16string name =
                    names.empty() ? (listed ? LeafName(*listed) : u"") : names.front();
                for (const std::u16string& candidate : names) {
                    if (listed && EqualsAsciiNoCase(candidate, LeafName(*listed))) {
                        name = candidate;
                    }
                }
                registry->AddUser({kWineUserSid, name, u"C:\\users\\" + name}, std::move(hive));
            }
        }
        return registry;
    }
    const std::optional<std::filesystem::path> softwareFile =
        FindPath(root, u"Windows\\System32\\config\\SOFTWARE");
    if (!softwareFile) {
        error = "not a Windows image: neither a Wine prefix (system.reg) nor a Windows volume "
                "(Windows\\System32\\config\\SOFTWARE)";
        return nullptr;
    }
    const std::optional<std::filesystem::path> systemFile =
        FindPath(root, u"Windows\\System32\\config\\SYSTEM");
    if (!systemFile) {
        error = "the Windows volume has no Windows\\System32\\config\\SYSTEM";
        return nullptr;
    }
    std::unique_ptr<Hive> software = OpenHiveFile(*softwareFile, error);
    if (!software) {
        return nullptr;
    }
    std::unique_ptr<Hive> system = OpenHiveFile(*systemFile, error);
    if (!system) {
        return nullptr;
    }
    const std::vector<std::u16string> sids = software->Subkeys(kProfileList);
    std::vector<std::pair<std::u16string, std::u16string>> profiles; // SID, expanded path
    for (const std::u16string& sid : sids) {
        if (std::optional<std::u16string> path = ProfileImagePath(*software, sid, u"")) {
            profiles.emplace_back(sid, std::move(*path));
        }
    }
    auto registry = std::make_unique<ImageRegistry>(std::move(software), std::move(system));
    std::string ignored;
    if (const auto file = FindPath(root, u"Windows\\System32\\config\\DEFAULT")) {
        if (std::unique_ptr<Hive> hive = OpenHiveFile(*file, ignored)) {
            std::u16string profile = kSystemProfile;
            for (const auto& [sid, path] : profiles) {
                if (EqualsAsciiNoCase(sid, kLocalSystemSid)) {
                    profile = path;
                }
            }
            registry->AddUser({kLocalSystemSid, LeafName(profile), profile}, std::move(hive));
        }
    }
    for (const auto& [sid, path] : profiles) {
        if (EqualsAsciiNoCase(sid, kLocalSystemSid)) {
            continue; // its hive is DEFAULT
        }
        const std::optional<std::filesystem::path> folder = FindDrivePath(root, path);
        const std::optional<std::filesystem::path> file =
            folder ? FindPath(*folder, u"NTUSER.DAT") : std::nullopt;
        if (std::unique_ptr<Hive> hive = file ? OpenHiveFile(*file, ignored) : nullptr) {
            registry->AddUser({sid, LeafName(path), path}, std::move(hive));
        }
    }
    return registry;
}

void ImageRegistry::AddUser(ImageUser user, std::unique_ptr<Hive> hive) {
    std::shared_ptr<Hive> shared(std::move(hive));
    const auto sameUser = [&](const std::u16string& sid) {
        return EqualsAsciiNoCase(sid, user.sid);
    };
    std::erase_if(state_->mounts, [&](const State::Mount& mount) {
        return mount.at.size() == 2 && EqualsAsciiNoCase(mount.at[0], u"User") &&
               (sameUser(mount.at[1]) || (EqualsAsciiNoCase(user.sid, kLocalSystemSid) &&
                                          EqualsAsciiNoCase(mount.at[1], u".DEFAULT")));
    });
    std::erase_if(state_->users, [&](const ImageUser& existing) { return sameUser(existing.sid); });
    state_->mounts.push_back({{u"User", user.sid}, shared});
    if (EqualsAsciiNoCase(user.sid, kLocalSystemSid)) {
        state_->mounts.push_back({{u"User", u".DEFAULT"}, shared});
    }
    state_->users.push_back(std::move(user));
}

bool ImageRegistry::MachineKeyExists(std::u16string_view path, RegistryView view) const {
    return state_->KeyExists(state_->MachinePath(path, view));
}

std::optional<RegistryValue> ImageRegistry::MachineValue(std::u16string_view path,
                                                         std::u16string_view name,
                                                         RegistryView view) const {
    return state_->Value(state_->MachinePath(path, view), name);
}

std::vector<std::u16string> ImageRegistry::MachineSubkeys(std::u16string_view path,
                                                          RegistryView view) const {
    const Path full = state_->MachinePath(path, view);
    if (full.size() == 1) {
        // HKLM itself: its mounted hives on a Windows volume.
        std::vector<std::u16string> names;
        for (const State::Mount& mount : state_->mounts) {
            if (mount.at.size() == 2 && EqualsAsciiNoCase(mount.at[0], u"Machine")) {
                names.push_back(mount.at[1]);
            }
        }
        if (!names.empty()) {
            return names;
        }
    }
    const std::optional<State::Location> location = state_->Locate(full);
    return location ? location->hive->Subkeys(location->path) : std::vector<std::u16string>();
}

std::vector<std::u16string> ImageRegistry::MachineValueNames(std::u16string_view path,
                                                             RegistryView view) const {
    const std::optional<State::Location> location = state_->Locate(state_->MachinePath(path, view));
    return location ? location->hive->ValueNames(location->path) : std::vector<std::u16string>();
}

std::optional<RegistryValue> ImageRegistry::UserValue(std::u16string_view sid,
                                                      std::u16string_view path,
                                                      std::u16string_view name) const {
    return state_->Value(State::UserPath(sid, path), name);
}

bool ImageRegistry::UserKeyExists(std::u16string_view sid, std::u16string_view path) const {
    return state_->KeyExists(State::UserPath(sid, path));
}

std::vector<std::u16string> ImageRegistry::UserValueNames(std::u16string_view sid,
                                                          std::u16string_view path) const {
    const std::optional<State::Location> location = state_->Locate(State::UserPath(sid, path));
    return location ? location->hive->ValueNames(location->path) : std::vector<std::u16string>();
}

const std::vector<ImageUser>& ImageRegistry::Users() const noexcept {
    return state_->users;
}

} // namespace tarn::image
