#include "support/fakemachine.h"

#include "utility/text/strings.h"

#include <algorithm>
#include <cstring>

namespace tarn::test {

namespace {

// %NAME% replaced where NAME is defined, as the platform's expansion does.
std::u16string Expand(std::u16string_view text,
                      const std::map<std::u16string, std::u16string>& variables) {
    std::u16string out;
    while (!text.empty()) {
        const std::size_t open = text.find(u'%');
        const std::size_t close = open == text.npos ? text.npos : text.find(u'%', open + 1);
        if (close == text.npos) {
            out += text;
            break;
        }
        const auto found = variables.find(std::u16string(text.substr(open + 1, close - open - 1)));
        out += text.substr(0, open);
        out += found != variables.end() ? found->second : text.substr(open, close - open + 1);
        text.remove_prefix(close + 1);
    }
    return out;
}

// Names compare as the file system's do: A-Z folded, either separator.
bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char16_t c) { return c == u'/' ? u'\\' : AsciiLower(c); };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// The file system's wildcards: * any run of characters, ? any one character.
bool Matches(std::u16string_view pattern, std::u16string_view name) {
    if (pattern.empty()) {
        return name.empty();
    }
    if (pattern[0] == u'*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (Matches(pattern.substr(1), name.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    return !name.empty() &&
           (pattern[0] == u'?' || SameName(pattern.substr(0, 1), name.substr(0, 1))) &&
           Matches(pattern.substr(1), name.substr(1));
}

std::u16string_view ParentOf(std::u16string_view path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    return separator == path.npos ? std::u16string_view() : path.substr(0, separator);
}

std::u16string_view NameOf(std::u16string_view path) {
    return path.substr(ParentOf(path).size() + (path.find_last_of(u"\\/") == path.npos ? 0 : 1));
}

// The version resource of the fake: the file version, then whether there is a fixed record
// and a translation table, then the translation.
constexpr std::size_t kResourceBytes = 16;

class FakeSearch final : public DirectorySearch {
public:
    explicit FakeSearch(std::vector<FindData> rest) : rest_(std::move(rest)) {}
    DWORD Next(FindData& entry) override {
        if (next_ == rest_.size()) {
            return ERROR_NO_MORE_FILES;
        }
        entry = rest_[next_++];
        return ERROR_SUCCESS;
    }

private:
    std::vector<FindData> rest_;
    std::size_t next_ = 0;
};

} // namespace

void FakeMachine::AddFile(std::u16string path, std::optional<VersionResource> version) {
    entries_.push_back({std::move(path), false, version});
}

void FakeMachine::AddDirectory(std::u16string path) {
    entries_.push_back({std::move(path), true, std::nullopt});
}

const FakeMachine::Entry* FakeMachine::Find(std::u16string_view path) const {
    for (const Entry& entry : entries_) {
        if (SameName(entry.path, path)) {
            return &entry;
        }
    }
    return nullptr;
}

bool FakeMachine::PathExists(std::u16string_view path) {
    return Find(path) != nullptr;
}

SearchAnswer FakeMachine::FindFiles(std::u16string_view pattern) {
    const std::u16string_view directory = ParentOf(pattern);
    const std::u16string_view names = NameOf(pattern);
    std::vector<FindData> found;
    if (Matches(names, u".")) {
        found = {{FILE_ATTRIBUTE_DIRECTORY, u"."}, {FILE_ATTRIBUTE_DIRECTORY, u".."}};
    }
    for (const Entry& entry : entries_) {
        if (SameName(ParentOf(entry.path), directory) && Matches(names, NameOf(entry.path))) {
            found.push_back({entry.directory ? FILE_ATTRIBUTE_DIRECTORY : 0,
                             std::u16string(NameOf(entry.path))});
        }
    }
    if (found.empty()) {
        return {nullptr, {}, ERROR_FILE_NOT_FOUND};
    }
    FindData first = found.front();
    found.erase(found.begin());
    return {std::make_unique<FakeSearch>(std::move(found)), std::move(first), ERROR_SUCCESS};
}

UINT FakeMachine::DriveType(std::u16string_view root) {
    const auto found = driveTypes.find(std::u16string(root));
    return found != driveTypes.end() ? found->second : kDriveUnknown;
}

DWORD FakeMachine::VersionResourceSize(std::u16string_view path) {
    versionReads.emplace_back(path);
    const Entry* entry = Find(path);
    return entry != nullptr && entry->version ? kResourceBytes : 0;
}

DWORD FakeMachine::ReadVersionResource(std::u16string_view path,
                                       std::vector<std::uint8_t>& resource) {
    const Entry* entry = Find(path);
    if (entry == nullptr || !entry->version || resource.size() < kResourceBytes) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    const VersionResource& version = *entry->version;
    if (version.readError != ERROR_SUCCESS) {
        return version.readError;
    }
    const std::uint64_t fileVersion = version.fileVersion.value_or(0);
    const std::uint32_t translation = version.translation.value_or(0);
    std::memcpy(resource.data(), &fileVersion, 8);
    resource[8] = version.fileVersion.has_value();
    resource[9] = version.translation.has_value();
    std::memcpy(resource.data() + 12, &translation, 4);
    return ERROR_SUCCESS;
}

VersionValueAnswer FakeMachine::QueryVersionValue(const std::vector<std::uint8_t>& resource,
                                                  std::u16string_view block) {
    if (block == u"\\" && resource[8] != 0) {
        // VS_FIXEDFILEINFO as far as the file version: signature, structure version, MS, LS.
        std::vector<std::uint8_t> fixed = {0xBD, 0x04, 0xEF, 0xFE, 0, 0, 1, 0};
        fixed.insert(fixed.end(), resource.begin() + 4, resource.begin() + 8);
        fixed.insert(fixed.end(), resource.begin(), resource.begin() + 4);
        return {true, ERROR_SUCCESS, std::move(fixed)};
    }
    if (block == u"\\VarFileInfo\\Translation" && resource[9] != 0) {
        return {true, ERROR_SUCCESS, {resource.begin() + 12, resource.begin() + 16}};
    }
    return {false, ERROR_RESOURCE_TYPE_NOT_FOUND, {}};
}

ShellLinkAnswer FakeMachine::ShellLinkTarget(std::u16string_view shortcutPath) {
    const auto found = shellLinks.find(std::u16string(shortcutPath));
    return found != shellLinks.end() ? found->second : ShellLinkAnswer{E_FAIL, {}};
}

bool FakeMachine::LocalMachineKeyExists(std::u16string_view subkey) {
    return std::find(localMachineKeys.begin(), localMachineKeys.end(), subkey) !=
           localMachineKeys.end();
}

class FakeMachine::FakeEngine final : public RuleEngine {
public:
    FakeEngine(std::shared_ptr<EngineLog> log, Engine script)
        : log_(std::move(log)), script_(script) {
        ++log_->alive;
    }
    ~FakeEngine() override { --log_->alive; }
    HRESULT EvaluateRules(BSTR ruleXml, VARIANT_BOOL* result) override {
        const std::lock_guard<std::mutex> locked(log_->lock);
        log_->rules.emplace_back(BstrView(ruleXml));
        *result = script_.result;
        return script_.hr;
    }

private:
    std::shared_ptr<EngineLog> log_;
    Engine script_;
};

bool FakeMachine::GuidLess(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

RegistryValueAnswer FakeMachine::ReadLocalMachineValue(std::u16string_view subkey,
                                                       std::u16string_view name) {
    const auto found =
        localMachineValues.find(std::u16string(subkey) + u"|" + std::u16string(name));
    if (found == localMachineValues.end()) {
        return {ERROR_FILE_NOT_FOUND, 0, {}};
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(found->second.c_str());
    return {ERROR_SUCCESS, 1, {bytes, bytes + (found->second.size() + 1) * 2}};
}

bool FakeMachine::GetVersionRecord(DWORD size, OsVersionRecord& record) {
    const std::optional<OsVersionRecord>& answer =
        size == kVersionRecordExtendedSize ? extendedVersion : basicVersion;
    if (answer) {
        record = *answer;
    }
    return answer.has_value();
}

RuleEngineAnswer FakeMachine::CreateRuleEngine(const GUID& classId) {
    const auto found = engines.find(classId);
    if (found == engines.end()) {
        return {REGDB_E_CLASSNOTREG, nullptr};
    }
    if (FAILED(found->second.createHr)) {
        return {found->second.createHr, nullptr};
    }
    ++engineLog->created;
    return {S_OK, std::make_shared<FakeEngine>(engineLog, found->second)};
}

FolderAnswer FakeMachine::ShellFolderPath(std::int32_t csidl, const UserToken* token) {
    askedFolders.push_back(csidl);
    const auto& known = token != nullptr ? userFolders : folders;
    const auto found = known.find(csidl);
    return found != known.end() ? FolderAnswer{S_OK, found->second}
                                : FolderAnswer{E_INVALIDARG, {}};
}

std::optional<std::u16string> FakeMachine::ExpandForUser(const UserToken&,
                                                         std::u16string_view text) {
    std::u16string expanded = Expand(text, userVariables);
    return expanded.size() < 260 ? std::optional(std::move(expanded)) : std::nullopt;
}

ProcessExpansion FakeMachine::ExpandForProcess(std::u16string_view text) {
    if (processExpansionError != ERROR_SUCCESS) {
        return {0, processExpansionError, {}};
    }
    std::u16string expanded = Expand(text, processVariables);
    const auto needed = static_cast<DWORD>(expanded.size() + 1);
    return {needed, ERROR_SUCCESS, std::move(expanded)};
}

} // namespace tarn::test
