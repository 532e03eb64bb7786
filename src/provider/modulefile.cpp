#include "provider/modulefile.h"

#include "utility/log/comerror.h"

#include <vector>

namespace tarn::provider {

namespace {

class LiveVersionResource final : public VersionResource {
public:
    explicit LiveVersionResource(std::vector<BYTE> data) noexcept : data_(std::move(data)) {}

    bool ProductVersion(std::uint32_t& ms, std::uint32_t& ls) const override {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\"));
        if (fixed == nullptr || length_ < sizeof(VS_FIXEDFILEINFO)) {
            return false;
        }
        ms = fixed->dwProductVersionMS;
        ls = fixed->dwProductVersionLS;
        return true;
    }

    std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const override {
        std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
        const auto* words = static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation"));
        for (UINT i = 0; words != nullptr && i + 1 < length_ / sizeof(WORD); i += 2) {
            pairs.emplace_back(words[i], words[i + 1]);
        }
        return pairs;
    }

    std::u16string String(const std::u16string& subBlock) const override {
        const auto* text =
            static_cast<const char16_t*>(Query(reinterpret_cast<const wchar_t*>(subBlock.c_str())));
        if (text == nullptr) {
            return std::u16string();
        }
        std::u16string value(text, length_);
        value.resize(std::char_traits<char16_t>::length(value.c_str()));
        return value;
    }

private:
    // The value at `subBlock`, with its length (bytes, or characters for strings) in length_.
    const void* Query(const wchar_t* subBlock) const {
        void* value = nullptr;
        length_ = 0;
        if (!VerQueryValueW(data_.data(), subBlock, &value, &length_)) {
            return nullptr;
        }
        return value;
    }

    std::vector<BYTE> data_;
    mutable UINT length_ = 0;
};

} // namespace

HRESULT LiveModuleFile::Path(std::u16string& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module_, buffer, MAX_PATH);
    if (length == 0) {
        return LastErrorHresult();
    }
    if (length >= MAX_PATH) {
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    path.assign(reinterpret_cast<const char16_t*>(buffer), length);
    return S_OK;
}

HRESULT LiveModuleFile::ShortPath(const std::u16string& directory, std::u16string& shortPath) {
    const auto* longPath = reinterpret_cast<const wchar_t*>(directory.c_str());
    const DWORD needed = GetShortPathNameW(longPath, nullptr, 0);
    if (needed == 0) {
        return LastErrorHresult();
    }
    std::u16string buffer(needed, u'\0');
    const DWORD length =
        GetShortPathNameW(longPath, reinterpret_cast<wchar_t*>(buffer.data()), needed);
    if (length == 0 || length >= needed) {
        return LastErrorHresult();
    }
    buffer.resize(length);
    shortPath = std::move(buffer);
    return S_OK;
}

std::unique_ptr<VersionResource> LiveModuleFile::LoadVersionResource() {
    std::u16string path;
    HRESULT hr = Path(path);
    if (SUCCEEDED(hr)) {
        const auto* file = reinterpret_cast<const wchar_t*>(path.c_str());
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
        std::vector<BYTE> data(size);
        if (size != 0 && GetFileVersionInfoW(file, 0, size, data.data())) {
            return std::make_unique<LiveVersionResource>(std::move(data));
        }
        hr = LastErrorHresult();
    }
    RaiseComErrorWithCode(hr, hr, u"Error loading version resource:");
}

} // namespace tarn::provider
