// HKEY_LOCAL_MACHINE of this process redirected to a private key of the prefix, so that the log
// writers of a test's processes read settings of their own, while every other test program
// goes on reading the prefix-wide ones.
#pragma once

#include <windows.h>

#include <string>

namespace tarn::test {

class MachineKeyRedirect {
public:
    // Redirects the root to HKLM\Software\TarnTests\<name>, created when missing. The owner
    // deletes that key again when it is done.
    explicit MachineKeyRedirect(const std::wstring& name, bool owner = true);
    ~MachineKeyRedirect();
    MachineKeyRedirect(const MachineKeyRedirect&) = delete;
    MachineKeyRedirect& operator=(const MachineKeyRedirect&) = delete;

    // Writes a value below the redirected root.
    void Set(const char16_t* key, const wchar_t* value, DWORD data);
    void Set(const char16_t* key, const wchar_t* value, const std::wstring& data);

private:
    std::wstring path_;
    bool owner_;
};

} // namespace tarn::test
