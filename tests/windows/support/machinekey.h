// HKEY_LOCAL_MACHINE of this process redirected to a private key of the prefix, so that the log
// writers of a test's processes read settings of their own, while every other test program
// goes on reading the prefix-wide ones.
#pragma once

#include "utility/platform/wintypes.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace tarn::test {

class MachineKeyRedirect {
public:
    // Redirects the root to HKLM\Software\TarnTests\<name>, created when missing. The owner
    // deletes that key again when it is done.
    explicit MachineKeyRedirect(const std::wstring& name, bool owner = true)
        : path_(L"Software\\TarnTests\\" + name), owner_(owner) {
        HKEY root = nullptr;
        Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &root, nullptr));
        const LSTATUS status = RegOverridePredefKey(HKEY_LOCAL_MACHINE, root);
        RegCloseKey(root);
        Check(status);
    }
    ~MachineKeyRedirect() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        if (owner_) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str());
        }
    }
    MachineKeyRedirect(const MachineKeyRedirect&) = delete;
    MachineKeyRedirect& operator=(const MachineKeyRedirect&) = delete;

    // Writes a value below the redirected root.
    void Set(const char16_t* key, const wchar_t* value, DWORD data) {
        Check(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Ole(key), value, REG_DWORD, &data, 4));
    }
    void Set(const char16_t* key, const wchar_t* value, const std::wstring& data) {
        Check(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Ole(key), value, REG_SZ, data.c_str(),
                              static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))));
    }

private:
    static void Check(LSTATUS status) {
        if (status != ERROR_SUCCESS) {
            throw std::runtime_error("registry error " + std::to_string(status));
        }
    }

    std::wstring path_;
    bool owner_;
};

} // namespace tarn::test
