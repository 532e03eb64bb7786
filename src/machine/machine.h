// The computer under inspection. Rule logic never calls a platform API: it asks a Machine.
// Answers carry the numbers the Windows calls return (ERROR_* codes, HRESULTs), so one rule
// implementation serves the live computer, an offline Windows image and the test fake.
#pragma once

#include "machine/installer.h"
#include "utility/platform/osdetector.h"
#include "utility/platform/wintypes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// A user's access token as a machine hands it out; released when destroyed.
class UserToken {
public:
    virtual ~UserToken() = default;
};

// The calling thread's token, opened for reading with the access check made against the
// process's own identity: a token, or the error code (ERROR_NO_TOKEN when the thread
// impersonates nobody).
struct ThreadTokenAnswer {
    std::unique_ptr<UserToken> token;
    DWORD error = ERROR_SUCCESS;
};

// A shell folder's default location (at most 259 characters) and the HRESULT of the lookup.
struct FolderAnswer {
    HRESULT hr = E_FAIL;
    std::u16string path;
};

// The process-environment expansion of a text: the characters it needs, terminator included,
// with the expansion; 0 and the error code when it fails.
struct ProcessExpansion {
    DWORD needed = 0;
    DWORD error = ERROR_SUCCESS;
    std::u16string text;
};

// One directory entry as FindFirstFileW / FindNextFileW report it.
struct FindData {
    DWORD attributes = 0; // FILE_ATTRIBUTE_* bits
    std::u16string name;  // the entry's own name, not its path
};

// An open directory search; closed (FindClose) when destroyed.
class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;
    // The next entry: ERROR_SUCCESS with `entry` filled, or the error code (ERROR_NO_MORE_FILES
    // after the last one).
    virtual DWORD Next(FindData& entry) = 0;
};

// FindFirstFileW on a pattern: the open search with its first entry, or no search and the
// error code.
struct SearchAnswer {
    std::unique_ptr<DirectorySearch> search;
    FindData first;
    DWORD error = ERROR_SUCCESS;
};

// One value of a version resource (VerQueryValueW): its bytes, or no value and the
// last-error code.
struct VersionValueAnswer {
    bool found = false;
    DWORD error = ERROR_SUCCESS;
    std::vector<std::uint8_t> bytes;
};

// A shell link's target (IShellLinkW::GetPath with SLGP_UNCPRIORITY after IPersistFile::Load):
// the HRESULT of GetPath, or of creating the link object when that failed, and the path.
struct ShellLinkAnswer {
    HRESULT hr = E_FAIL;
    std::u16string path;
};

// A registry value (RegQueryValueExW): ERROR_SUCCESS with its type and bytes, or the status of
// the failed open or read.
struct RegistryValueAnswer {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::vector<std::uint8_t> bytes;
};

// A rule engine of another component: its evaluate method (IInventoryRuleProvider), called on
// the thread that evaluates the rule. Released when the last reference goes.
class RuleEngine {
public:
    virtual ~RuleEngine() = default;
    virtual HRESULT EvaluateRules(BSTR ruleXml, VARIANT_BOOL* result) = 0;
};

// A created rule engine, or the HRESULT of the step that failed.
struct RuleEngineAnswer {
    HRESULT hr = E_FAIL;
    std::shared_ptr<RuleEngine> engine;
};

// GetDriveTypeW answers.
inline constexpr UINT kDriveUnknown = 0;
inline constexpr UINT kDriveRemote = 4;

class Machine {
public:
    virtual ~Machine() = default;

    // The Windows Installer library ("msi.dll"), loaded for one query and released when the
    // result is destroyed; null when it cannot be loaded. A machine that has no installer
    // (the default) answers null.
    virtual std::unique_ptr<InstallerLibrary> LoadInstaller() { return nullptr; }

    // The defaults below answer as a machine with nothing to find: a 32-bit component on 32-bit
    // Windows, a thread that impersonates nobody, no shell folders, no variables.

    // Whether the operating system is 64-bit, and whether the component that evaluates the
    // rules is a 64-bit build (on the live machine, this build's own width).
    virtual bool Is64BitOS() { return false; }
    virtual bool Is64BitComponent() { return false; }

    virtual ThreadTokenAnswer OpenThreadToken() { return {nullptr, ERROR_NO_TOKEN}; }
    // The folder of a folder number for the token's user (the process's account without one).
    virtual FolderAnswer ShellFolderPath(std::int32_t /*csidl*/, const UserToken* /*token*/) {
        return {E_FAIL, {}};
    }
    // %NAME% placeholders expanded with the token user's environment into 260 characters; no
    // value when that fails, also when the result does not fit.
    virtual std::optional<std::u16string> ExpandForUser(const UserToken& /*token*/,
                                                        std::u16string_view /*text*/) {
        return std::nullopt;
    }
    virtual ProcessExpansion ExpandForProcess(std::u16string_view text) {
        return {static_cast<DWORD>(text.size() + 1), ERROR_SUCCESS, std::u16string(text)};
    }

    // Files, as the calling thread's identity sees them. PathFileExistsW: files and directories.
    virtual bool PathExists(std::u16string_view /*path*/) { return false; }
    // FindFirstFileW on the extended-length form of the pattern.
    virtual SearchAnswer FindFiles(std::u16string_view /*pattern*/) {
        return {nullptr, {}, ERROR_FILE_NOT_FOUND};
    }
    // GetDriveTypeW of a root directory such as "C:\" or "\\server\share\".
    virtual UINT DriveType(std::u16string_view /*root*/) { return kDriveUnknown; }

    // GetFileVersionInfoSizeW: the size of the file's version resource; 0 when it has none or
    // cannot be read.
    virtual DWORD VersionResourceSize(std::u16string_view /*path*/) { return 0; }
    // GetFileVersionInfoW into all of `resource` (sized by the caller from the size query):
    // ERROR_SUCCESS, or the last-error code of the failed read.
    virtual DWORD ReadVersionResource(std::u16string_view /*path*/,
                                      std::vector<std::uint8_t>& /*resource*/) {
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    // VerQueryValueW on a resource that ReadVersionResource filled; `block` is "\" for the
    // fixed record (VS_FIXEDFILEINFO) or a path such as "\VarFileInfo\Translation". The value's
    // bytes, or no value and the last-error code.
    virtual VersionValueAnswer QueryVersionValue(const std::vector<std::uint8_t>& /*resource*/,
                                                 std::u16string_view /*block*/) {
        return {false, ERROR_RESOURCE_TYPE_NOT_FOUND, {}};
    }

    virtual ShellLinkAnswer ShellLinkTarget(std::u16string_view /*shortcutPath*/) {
        return {E_FAIL, {}};
    }

    // Whether HKEY_LOCAL_MACHINE\`subkey` opens for query in the process's own registry view.
    virtual bool LocalMachineKeyExists(std::u16string_view /*subkey*/) { return false; }
    // A value of HKEY_LOCAL_MACHINE\`subkey`, opened for reading in the same view.
    virtual RegistryValueAnswer ReadLocalMachineValue(std::u16string_view /*subkey*/,
                                                      std::u16string_view /*name*/) {
        return {};
    }

    // GetVersionExW with a record of `size` bytes (kVersionRecordExtendedSize or
    // kVersionRecordBasicSize): whether it answered, the record filled as far as that size.
    virtual bool GetVersionRecord(DWORD /*size*/, OsVersionRecord& /*record*/) { return false; }

    // An instance of the class (CLSCTX_ALL, as IUnknown), put into the running state (OleRun)
    // and asked for IInventoryRuleProvider; the HRESULT of the step that failed otherwise.
    virtual RuleEngineAnswer CreateRuleEngine(const GUID& /*classId*/) {
        return {REGDB_E_CLASSNOTREG, nullptr};
    }
};

// The computer this process runs on.
Machine& LiveMachine();

} // namespace tarn
