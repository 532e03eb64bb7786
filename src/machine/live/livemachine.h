// The computer this process runs on, answered through the Windows APIs.
#pragma once

#include "machine/machine.h"

#include <memory>

namespace tarn::live {

// "msi.dll" loaded by that bare name; null, with the thread's last-error code, when it cannot
// be loaded.
std::unique_ptr<InstallerLibrary> LoadInstallerLibrary();

// Stateless: every query asks Windows afresh, so one object serves every thread.
class WindowsMachine final : public Machine {
public:
    std::unique_ptr<InstallerLibrary> LoadInstaller() override { return LoadInstallerLibrary(); }

    bool Is64BitOS() override;
    bool Is64BitComponent() override { return sizeof(void*) == 8; }
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
};

} // namespace tarn::live
