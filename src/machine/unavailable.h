// A machine that answers no query: what there is to inspect when no Windows computer or image
// is at hand. Every query it is asked fails with kNeedsWindowsImage and a description that
// names the query, so that a rule needing one ends in a clear failure, never in a guess.
#pragma once

#include "machine/machine.h"
#include "utility/platform/wintypes.h"

#include <memory>
#include <string_view>

namespace tarn {

class UnavailableMachine final : public Machine {
public:
    // HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED)
    static constexpr HRESULT kNeedsWindowsImage = static_cast<HRESULT>(0x80070032u);

    // Raises kNeedsWindowsImage with the description "<query> needs a Windows image".
    [[noreturn]] static void RaiseUnavailable(std::u16string_view query);

    // Raises: "A Windows Installer query needs a Windows image".
    std::unique_ptr<InstallerLibrary> LoadInstaller() override;
    // Each raises, naming what it was asked.
    bool Is64BitOS() override;
    bool Is64BitComponent() override;
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
    // Foreign engines do not run without their computer: every class answers
    // REGDB_E_CLASSNOTREG, as an engine that is not installed.
    RuleEngineAnswer CreateRuleEngine(const GUID& classId) override;
};

} // namespace tarn
