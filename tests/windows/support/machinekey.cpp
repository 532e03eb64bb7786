#include "support/machinekey.h"

#include "utility/platform/wintypes.h"

#include <stdexcept>

namespace tarn::test {

namespace {

void Check(LSTATUS status, const char* what) {
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
    }
}

void SetValue(const char16_t* key, const wchar_t* value, DWORD type, const void* data, DWORD size) {
    Check(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Ole(key), value, type, data, size), "RegSetKeyValue");
}

} // namespace

MachineKeyRedirect::MachineKeyRedirect(const std::wstring& name, bool owner)
    : path_(L"Software\\TarnTests\\" + name), owner_(owner) {
    HKEY root = nullptr;
    Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &root, nullptr),
          "RegCreateKeyEx");
    const LSTATUS status = RegOverridePredefKey(HKEY_LOCAL_MACHINE, root);
    RegCloseKey(root);
    Check(status, "RegOverridePredefKey");
}

MachineKeyRedirect::~MachineKeyRedirect() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (owner_) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str());
    }
}

void MachineKeyRedirect::Set(const char16_t* key, const wchar_t* value, DWORD data) {
    SetValue(key, value, REG_DWORD, &data, sizeof data);
}

void MachineKeyRedirect::Set(const char16_t* key, const wchar_t* value, const std::wstring& data) {
    SetValue(key, value, REG_SZ, data.c_str(), static_cast<DWORD>((data.size() + 1) * 2));
}

} // namespace tarn::test
