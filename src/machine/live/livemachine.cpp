#include "machine/live/livemachine.h"

#include "utility/platform/identity.h"
#include "utility/platform/osdetector.h"
#include "utility/platform/registrykey.h"

#include <windows.h>

#include <shlobj.h>
#include <userenv.h>

#include <string>

namespace tarn {

Machine& LiveMachine() {
    static live::WindowsMachine machine;
    return machine;
}

namespace live {

namespace {

constexpr DWORD kPathCharacters = 260; // MAX_PATH, terminator included

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The thread's token as the machine hands it out.
class WindowsToken final : public UserToken {
public:
    explicit WindowsToken(HANDLE handle) noexcept : handle_(handle) {}
    HANDLE Get() const noexcept { return handle_.Get(); }

private:
    TokenHandle handle_;
};

HANDLE HandleOf(const UserToken* token) noexcept {
    return token != nullptr ? static_cast<const WindowsToken*>(token)->Get() : nullptr;
}

} // namespace

bool WindowsMachine::Is64BitOS() {
    return OSDetector::Instance().is64BitOS();
}

ThreadTokenAnswer WindowsMachine::OpenThreadToken() {
    HANDLE handle = nullptr;
    if (!::OpenThreadToken(GetCurrentThread(), TOKEN_READ, TRUE, &handle)) {
        return {nullptr, GetLastError()};
    }
    return {std::make_unique<WindowsToken>(handle), ERROR_SUCCESS};
}

FolderAnswer WindowsMachine::ShellFolderPath(std::int32_t csidl, const UserToken* token) {
    wchar_t path[kPathCharacters] = {};
    const HRESULT hr = SHGetFolderPathW(nullptr, csidl, HandleOf(token), SHGFP_TYPE_DEFAULT, path);
    return {hr, std::u16string(reinterpret_cast<const char16_t*>(path))};
}

std::optional<std::u16string> WindowsMachine::ExpandForUser(const UserToken& token,
                                                            std::u16string_view text) {
    const std::u16string source(text);
    wchar_t expanded[kPathCharacters] = {};
    if (!ExpandEnvironmentStringsForUserW(HandleOf(&token), Wide(source), expanded,
                                          kPathCharacters)) {
        return std::nullopt;
    }
    return std::u16string(reinterpret_cast<const char16_t*>(expanded));
}

ProcessExpansion WindowsMachine::ExpandForProcess(std::u16string_view text) {
    const std::u16string source(text);
    const DWORD needed = ExpandEnvironmentStringsW(Wide(source), nullptr, 0);
    if (needed == 0) {
        return {0, GetLastError(), {}};
    }
    std::u16string expanded(needed, u'\0');
    const DWORD written = ExpandEnvironmentStringsW(
        Wide(source), reinterpret_cast<wchar_t*>(expanded.data()), needed);
    expanded.resize(written > 0 && written <= needed ? written - 1 : 0);
    return {needed, ERROR_SUCCESS, std::move(expanded)};
}

bool WindowsMachine::LocalMachineKeyExists(std::u16string_view subkey) {
    RegistryKey key;
    return key.Open(HKEY_LOCAL_MACHINE, std::u16string(subkey).c_str(), KEY_QUERY_VALUE);
}

RegistryValueAnswer WindowsMachine::ReadLocalMachineValue(std::u16string_view subkey,
                                                          std::u16string_view name) {
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, std::u16string(subkey).c_str(), KEY_READ)) {
        return {static_cast<LONG>(GetLastError()), 0, {}};
    }
    const std::u16string valueName(name);
    RegistryValueAnswer value;
    DWORD size = 0;
    value.status =
        RegQueryValueExW(key.Get(), Wide(valueName), nullptr, &value.type, nullptr, &size);
    if (value.status == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.status = RegQueryValueExW(key.Get(), Wide(valueName), nullptr, &value.type,
                                        value.bytes.data(), &size);
        value.bytes.resize(value.status == ERROR_SUCCESS ? size : 0);
    }
    return value;
}

bool WindowsMachine::GetVersionRecord(DWORD size, OsVersionRecord& record) {
    return platform::QueryVersionRecord(record, size == kVersionRecordExtendedSize);
}

} // namespace live
} // namespace tarn
