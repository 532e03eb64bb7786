// The machine of an offline Windows image: a mounted Windows volume or a Wine prefix, answered
// from its files and registry alone, as the component running on that computer would see it.
#pragma once

#include "machine/image/environment.h"
#include "machine/image/imagefilesystem.h"
#include "machine/image/registry.h"
#include "machine/machine.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarn::image {

struct ImageOptions {
    std::filesystem::path root;
    int componentBits = 0; // 32 or 64; 0: the width of the image's Windows
    std::u16string user;   // a profile the evaluating thread impersonates; empty: none
};

class ImageMachine final : public Machine {
public:
    // Null with `error` set when `options.root` is no Windows image, or names a user it lacks.
    static std::unique_ptr<ImageMachine> Open(const ImageOptions& options, std::string& error);

    // What offline evaluation could not do since the last call (engines not created), in order.
    std::vector<std::string> TakeNotes();

    std::unique_ptr<InstallerLibrary> LoadInstaller() override;
    bool Is64BitOS() override { return os64_; }
    bool Is64BitComponent() override { return component64_; }
    ThreadTokenAnswer OpenThreadToken() override;
    FolderAnswer ShellFolderPath(std::int32_t csidl, const UserToken* token) override;
    std::optional<std::u16string> ExpandForUser(const UserToken& token,
                                                std::u16string_view text) override;
    ProcessExpansion ExpandForProcess(std::u16string_view text) override;
    bool PathExists(std::u16string_view path) override;
    SearchAnswer FindFiles(std::u16string_view pattern) override;
    UINT DriveType(std::u16string_view root) override;
    DWORD VersionResourceSize(std::u16string_view path) override;
    DWORD ReadVersionResource(std::u16string_view path,
                              std::vector<std::uint8_t>& resource) override;
    VersionValueAnswer QueryVersionValue(const std::vector<std::uint8_t>& resource,
                                         std::u16string_view block) override;
    ShellLinkAnswer ShellLinkTarget(std::u16string_view shortcutPath) override;
    bool LocalMachineKeyExists(std::u16string_view subkey) override;
    RegistryValueAnswer ReadLocalMachineValue(std::u16string_view subkey,
                                              std::u16string_view name) override;
    bool GetVersionRecord(DWORD size, OsVersionRecord& record) override;
    RuleEngineAnswer CreateRuleEngine(const GUID& classId) override;

private:
    ImageMachine() = default;
    bool Configure(const ImageOptions& options, std::string& error);
    void MapDrives(const std::filesystem::path& root, bool winePrefix);
    // A 32-bit component on 64-bit Windows sees SysWOW64 as its system folder.
    void RedirectSystemFolder();
    RegistryView View() const;
    const Environment& EnvironmentOf(const ImageUser& user);
    // The version resource of a file, read once for the size query and the read after it.
    std::optional<std::vector<std::uint8_t>> VersionResourceOf(std::u16string_view path);

    std::unique_ptr<ImageRegistry> registry_;
    ImageFileSystem files_;
    bool os64_ = false;
    bool component64_ = false;
    ImageUser processAccount_;
    std::optional<ImageUser> impersonated_;
    std::optional<OsVersionRecord> version_;

    std::mutex mutex_;                                      // guards what follows
    std::map<std::u16string, Environment> environments_;    // by SID
    std::map<std::u16string, bool, std::less<>> keysFound_; // HKLM subkey -> whether it exists
    std::u16string versionPath_;
    std::optional<std::vector<std::uint8_t>> versionResource_;
    std::vector<std::string> notes_;
};

} // namespace tarn::image
