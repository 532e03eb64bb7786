// A scriptable machine for native tests, one member per concern. Each concern answers with
// the codes and buffer rules of the Windows calls it stands for and records what it was asked.
#pragma once

#include "machine/machine.h"
#include "support/fakeinstaller.h"

#include <map>
#include <memory>
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
};

} // namespace tarn::test
