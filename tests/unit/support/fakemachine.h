// A scriptable machine for native tests, one member per concern. Each concern answers with
// the codes and buffer rules of the Windows calls it stands for and records what it was asked.
#pragma once

#include "machine/machine.h"
#include "support/fakeinstaller.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace tarn::test {

class FakeMachine : public Machine {
public:
    struct Token : UserToken {};

    FakeInstaller installer;
    bool os64 = false;
    bool component64 = false;
    DWORD tokenError = ERROR_NO_TOKEN;              // ERROR_SUCCESS: the thread impersonates a user
    std::map<std::int32_t, std::u16string> folders; // of the process's account; others fail
    std::map<std::int32_t, std::u16string> userFolders;
    std::map<std::u16string, std::u16string> processVariables;
    std::map<std::u16string, std::u16string> userVariables;
    DWORD processExpansionError = ERROR_SUCCESS; // the process expansion fails with it
    std::vector<std::int32_t> askedFolders;

    // A version resource: its fixed record's file version (none: the query of "\" fails),
    // its first translation entry (none: the resource has no translation table), or a read
    // that fails with `readError`.
    struct VersionResource {
        std::optional<std::uint64_t> fileVersion;
        std::optional<std::uint32_t> translation = 0x04B00409;
        DWORD readError = ERROR_SUCCESS;
    };
    // Files and directories in enumeration order, by full path; names match as the file
    // system's do, ignoring the case of A-Z.
    void AddFile(std::u16string path, std::optional<VersionResource> version = std::nullopt);
    void AddDirectory(std::u16string path);
    std::map<std::u16string, UINT> driveTypes;            // by root ("N:\"); others unknown
    std::vector<std::u16string> localMachineKeys;         // exist; others do not
    std::map<std::u16string, ShellLinkAnswer> shellLinks; // others: E_FAIL
    std::vector<std::u16string> versionReads;             // paths whose resource was asked for

    // The Windows version: the extended and the basic record, each absent when its query
    // fails; registry values of HKEY_LOCAL_MACHINE by "subkey|name", REG_SZ.
    std::optional<OsVersionRecord> extendedVersion;
    std::optional<OsVersionRecord> basicVersion;
    std::map<std::u16string, std::u16string> localMachineValues;

    // Rule engines by class: an engine answers `hr` and `result` to every rule, or its creation
    // fails with `createHr`. Unknown classes are not registered. Safe on many threads.
    struct Engine {
        HRESULT createHr = S_OK;
        HRESULT hr = S_OK;
        VARIANT_BOOL result = VARIANT_TRUE;
    };
    std::map<GUID, Engine, bool (*)(const GUID&, const GUID&)> engines{&GuidLess};
    // What the engines saw, shared with them.
    struct EngineLog {
        std::atomic<int> created{0};
        std::atomic<int> alive{0};
        std::mutex lock;
        std::vector<std::u16string> rules; // every text handed to an engine, in order
    };
    std::shared_ptr<EngineLog> engineLog = std::make_shared<EngineLog>();
    static bool GuidLess(const GUID& a, const GUID& b);

    std::unique_ptr<InstallerLibrary> LoadInstaller() override { return installer.Load(); }
    bool Is64BitOS() override { return os64; }
    bool Is64BitComponent() override { return component64; }
    ThreadTokenAnswer OpenThreadToken() override {
        return {tokenError == ERROR_SUCCESS ? std::make_unique<Token>() : nullptr, tokenError};
    }
    FolderAnswer ShellFolderPath(std::int32_t csidl, const UserToken* token) override;
    std::optional<std::u16string> ExpandForUser(const UserToken&,
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
    class FakeEngine;

    struct Entry {
        std::u16string path;
        bool directory;
        std::optional<VersionResource> version;
    };
    const Entry* Find(std::u16string_view path) const;

    std::vector<Entry> entries_;
};

} // namespace tarn::test
