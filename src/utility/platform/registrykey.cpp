#include "utility/platform/registrykey.h"

#include "utility/text/format.h"
#include "utility/text/scan.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tarn {

namespace {

constexpr DWORD kFirstReadBytes = 512;

bool Fail(DWORD code) noexcept {
    SetLastError(code);
    return false;
}

bool IsNumberValue(DWORD type, DWORD size) noexcept {
    return (type == REG_DWORD || type == REG_BINARY) && size == sizeof(DWORD);
}

bool IsStringValue(DWORD type) noexcept {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

DWORD NumberOf(const BYTE* data) noexcept {
    DWORD value = 0;
    std::memcpy(&value, data, sizeof(value));
    return value;
}

// The UTF-16 text of `size` bytes of data (an odd last byte is dropped).
std::u16string CharactersOf(const std::vector<BYTE>& data, DWORD size) {
    std::u16string text(size / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(char16_t));
    return text;
}

std::u16string UpToFirstNul(std::u16string text) {
    const std::size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) {
        text.resize(nul);
    }
    return text;
}

// Splits REG_MULTI_SZ characters at NULs and stops at the first empty string.
void AppendMultiString(std::u16string_view chars, std::vector<std::u16string>& out) {
    bool any = false;
    while (!chars.empty()) {
        const std::size_t end = std::min(chars.find(u'\0'), chars.size());
        if (end == 0) {
            break;
        }
        out.emplace_back(chars.substr(0, end));
        any = true;
        chars.remove_prefix(std::min(end + 1, chars.size()));
    }
    if (!any) {
        out.emplace_back();
    }
}

void FitToLength(std::u16string& text, int maxLength) {
    if (maxLength >= 0) {
        text.resize(static_cast<std::size_t>(maxLength), u'\0');
    }
}

} // namespace

// A value as read: its type, its size in bytes and the bytes (all of them once complete).
struct RegistryKey::RawValue {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::vector<BYTE> data;
    bool Complete() const noexcept { return size <= data.size(); }
};

bool RegistryKey::Open(HKEY root, const char16_t* subKey, REGSAM access) {
    HKEY key = nullptr;
    const LSTATUS status = api_->OpenKey(root, subKey, access, &key);
    if (status != ERROR_SUCCESS && (access & KEY_CREATE_SUB_KEY) != 0) {
        return Create(root, subKey, 0, access, nullptr);
    }
    return Adopt(status, key);
}

bool RegistryKey::Create(HKEY root, const char16_t* subKey, DWORD options, REGSAM access,
                         SECURITY_ATTRIBUTES* security) {
    HKEY key = nullptr;
    const LSTATUS status = api_->CreateKey(root, subKey, options, access, security, &key);
    return Adopt(status, key);
}

bool RegistryKey::Adopt(LSTATUS status, HKEY key) {
    if (status != ERROR_SUCCESS) {
        return Fail(static_cast<DWORD>(status));
    }
    Close();
    key_ = key;
    return true;
}

void RegistryKey::Close() noexcept {
    if (key_ != nullptr) {
        const DWORD lastError = GetLastError();
        api_->CloseKey(std::exchange(key_, nullptr));
        SetLastError(lastError);
    }
}

bool RegistryKey::QueryFirst(const char16_t* name, RawValue& value) {
    value.data.assign(kFirstReadBytes, 0);
    value.size = kFirstReadBytes;
    const LSTATUS status =
        api_->QueryValue(key_, name, &value.type, value.data.data(), &value.size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        return Fail(static_cast<DWORD>(status));
    }
    return true;
}

bool RegistryKey::QueryRest(const char16_t* name, RawValue& value) {
    if (value.Complete()) {
        return true;
    }
    value.data.assign(value.size, 0);
    const LSTATUS status =
        api_->QueryValue(key_, name, &value.type, value.data.data(), &value.size);
    if (status != ERROR_SUCCESS) {
        return Fail(static_cast<DWORD>(status));
    }
    return true;
}

bool RegistryKey::Expand(std::u16string& text) {
    const DWORD needed = api_->ExpandEnvironment(text.c_str(), nullptr, 0);
    if (needed == 0) {
        return false;
    }
    std::u16string expanded(needed, u'\0');
    const DWORD written = api_->ExpandEnvironment(text.c_str(), expanded.data(), needed);
    if (written == 0) {
        return false;
    }
    if (written > needed) {
        return Fail(ERROR_MORE_DATA);
    }
    text = UpToFirstNul(std::move(expanded));
    return true;
}

bool RegistryKey::QueryString(const char16_t* name, std::u16string& out, int maxLength) {
    RawValue value;
    if (!QueryFirst(name, value)) {
        return false;
    }
    if (IsNumberValue(value.type, value.size)) {
        out = FormatString(16, u"%d", static_cast<std::int32_t>(NumberOf(value.data.data())));
        FitToLength(out, maxLength);
        return true;
    }
    if (!IsStringValue(value.type)) {
        return Fail(ERROR_INVALID_DATA);
    }
    if (!QueryRest(name, value)) {
        return false;
    }
    std::u16string text = UpToFirstNul(CharactersOf(value.data, value.size));
    if (value.type == REG_EXPAND_SZ && !Expand(text)) {
        out = std::move(text);
        return false;
    }
    FitToLength(text, maxLength);
    out = std::move(text);
    return true;
}

bool RegistryKey::QueryDword(const char16_t* name, DWORD& out) {
    BYTE data[sizeof(DWORD)] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof(data);
    const LSTATUS status = api_->QueryValue(key_, name, &type, data, &size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        return Fail(static_cast<DWORD>(status));
    }
    if (IsNumberValue(type, size)) {
        out = NumberOf(data);
        return true;
    }
    if (!IsStringValue(type)) {
        return Fail(ERROR_INVALID_DATA);
    }
    std::u16string text;
    if (!QueryString(name, text)) {
        return false;
    }
    const std::optional<std::int32_t> number = ScanInt32(text);
    if (!number) {
        return Fail(ERROR_INVALID_DATA);
    }
    out = static_cast<DWORD>(*number);
    return true;
}

bool RegistryKey::QueryTypedString(const char16_t* name, DWORD capacity, std::u16string& out,
                                   DWORD& count) {
    std::vector<BYTE> data(static_cast<std::size_t>(capacity) * sizeof(char16_t));
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size());
    const LSTATUS status = api_->QueryValue(key_, name, &type, data.data(), &size);
    if (status != ERROR_SUCCESS) {
        return Fail(static_cast<DWORD>(status));
    }
    if (!IsStringValue(type) || size % sizeof(char16_t) != 0 || size > data.size()) {
        return Fail(ERROR_INVALID_DATA);
    }
    std::u16string text = CharactersOf(data, size);
    if (!text.empty() && text.back() != u'\0') {
        return Fail(ERROR_INVALID_DATA);
    }
    count = static_cast<DWORD>(text.size());
    if (!text.empty()) {
        text.pop_back();
    }
    out = std::move(text);
    return true;
}

bool RegistryKey::QueryStrictDword(const char16_t* name, DWORD& out) {
    BYTE data[sizeof(DWORD)] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof(data);
    const LSTATUS status = api_->QueryValue(key_, name, &type, data, &size);
    if (status != ERROR_SUCCESS) {
        return Fail(static_cast<DWORD>(status));
    }
    if (type != REG_DWORD || size != sizeof(DWORD)) {
        return Fail(ERROR_INVALID_DATA);
    }
    out = NumberOf(data);
    return true;
}

bool RegistryKey::QueryMultiString(const char16_t* name, std::vector<std::u16string>& out) {
    RawValue value;
    if (!QueryFirst(name, value)) {
        return false;
    }
    if (value.type != REG_MULTI_SZ && value.type != REG_SZ) {
        return Fail(ERROR_INVALID_DATA);
    }
    if (!QueryRest(name, value)) {
        return false;
    }
    const std::u16string chars = CharactersOf(value.data, value.size);
    if (value.type == REG_SZ) {
        out.push_back(UpToFirstNul(chars));
    } else {
        AppendMultiString(chars, out);
    }
    return true;
}

} // namespace tarn
