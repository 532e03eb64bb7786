// The computer under inspection. Rule logic never calls a platform API: it asks a Machine.
// Answers carry the numbers the Windows calls return (ERROR_* codes, HRESULTs), so one rule
// implementation serves the live computer, an offline Windows image and the test fake.
#pragma once

#include "machine/installer.h"
#include "utility/platform/wintypes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
};

// The computer this process runs on.
Machine& LiveMachine();

} // namespace tarn
