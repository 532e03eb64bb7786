#include "support/fakeregistry.h"

#include "utility/text/strings.h"

#include <algorithm>
#include <cstring>

namespace tarn::test {

namespace {

std::u16string Folded(std::u16string_view text) {
    std::u16string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    return folded;
}

} // namespace

FakeRegistry::Bytes FakeRegistry::Raw(std::u16string_view chars) {
    Bytes bytes(chars.size() * sizeof(char16_t));
    std::memcpy(bytes.data(), chars.data(), bytes.size());
    return bytes;
}

FakeRegistry::Bytes FakeRegistry::Text(std::u16string_view text) {
    return Raw(std::u16string(text) + u'\0');
}

FakeRegistry::Bytes FakeRegistry::Number(DWORD value) {
    Bytes bytes(sizeof(value));
    std::memcpy(bytes.data(), &value, sizeof(value));
    return bytes;
}

FakeRegistry::KeyId FakeRegistry::Id(HKEY root, std::u16string_view path) {
    return {root, Folded(path)};
}

void FakeRegistry::AddKey(HKEY root, std::u16string_view path) {
    keys_[Id(root, path)];
}

void FakeRegistry::SetValue(HKEY root, std::u16string_view path, std::u16string_view name,
                            DWORD type, Bytes data) {
    keys_[Id(root, path)][Folded(name)] = Value{type, std::move(data)};
}

void FakeRegistry::SetEnvironment(std::u16string_view name, std::u16string_view value) {
    environment_[Folded(name)] = std::u16string(value);
}

bool FakeRegistry::HasKey(HKEY root, std::u16string_view path) const {
    return keys_.count(Id(root, path)) != 0;
}

HKEY FakeRegistry::NewHandle(const KeyId& id) {
    nextHandle_ += 16;
    const HKEY handle = reinterpret_cast<HKEY>(nextHandle_);
    open_[handle] = id;
    return handle;
}

LSTATUS FakeRegistry::OpenKey(HKEY root, const char16_t* subKey, REGSAM, HKEY* key) {
    *key = nullptr;
    const KeyId id = Id(root, subKey);
    if (keys_.count(id) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    *key = NewHandle(id);
    return ERROR_SUCCESS;
}

LSTATUS FakeRegistry::CreateKey(HKEY root, const char16_t* subKey, DWORD, REGSAM,
                                SECURITY_ATTRIBUTES*, HKEY* key) {
    const KeyId id = Id(root, subKey);
    keys_[id];
    *key = NewHandle(id);
    return ERROR_SUCCESS;
}

LSTATUS FakeRegistry::QueryValue(HKEY key, const char16_t* name, DWORD* type, BYTE* data,
                                 DWORD* size) {
    const auto handle = open_.find(key);
    if (handle == open_.end()) {
        return ERROR_INVALID_HANDLE;
    }
    const Values& values = keys_[handle->second];
    const auto value = values.find(Folded(name == nullptr ? u"" : name));
    if (value == values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const DWORD capacity = *size;
    *type = value->second.type;
    *size = static_cast<DWORD>(value->second.data.size());
    if (*size > capacity) {
        return ERROR_MORE_DATA;
    }
    std::copy(value->second.data.begin(), value->second.data.end(), data);
    return ERROR_SUCCESS;
}

LSTATUS FakeRegistry::CloseKey(HKEY key) {
    return open_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::u16string FakeRegistry::Expanded(std::u16string_view text) const {
    std::u16string out;
    while (!text.empty()) {
        const std::size_t open = text.find(u'%');
        const std::size_t close = open == text.npos ? text.npos : text.find(u'%', open + 1);
        if (close == text.npos) {
            out += text;
            break;
        }
        out += text.substr(0, open);
        const auto variable = environment_.find(Folded(text.substr(open + 1, close - open - 1)));
        if (variable == environment_.end()) {
            out += text.substr(open, close - open);
            text.remove_prefix(close);
            continue;
        }
        out += variable->second;
        text.remove_prefix(close + 1);
    }
    return out;
}

DWORD FakeRegistry::ExpandEnvironment(const char16_t* text, char16_t* out, DWORD capacity) {
    if (expansionError_ != ERROR_SUCCESS) {
        SetLastError(expansionError_);
        return 0;
    }
    const std::u16string expanded = Expanded(text);
    const auto needed = static_cast<DWORD>(expanded.size() + 1);
    if (capacity >= needed) {
        std::copy_n(expanded.c_str(), needed, out);
    }
    return needed;
}

} // namespace tarn::test
