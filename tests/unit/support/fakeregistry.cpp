#include "support/fakeregistry.h"

#include "utility/text/strings.h"

#include <algorithm>

namespace tarn::test {

FakeRegistry::KeyId FakeRegistry::Id(HKEY root, std::u16string_view path) {
    std::u16string folded(path);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    return {root, folded};
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
    keys_.insert(id);
    *key = NewHandle(id);
    return ERROR_SUCCESS;
}

LSTATUS FakeRegistry::CloseKey(HKEY key) {
    return open_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

} // namespace tarn::test
