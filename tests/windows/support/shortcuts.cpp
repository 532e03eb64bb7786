#include "support/shortcuts.h"

#include "utility/platform/comptr.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>

namespace tarn::test {

namespace {

const CLSID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

} // namespace

// Each 32-bit word of the GUID's memory image as five base-85 digits, least significant first.
std::wstring PackedGuid(const wchar_t* code) {
    static const char digits[] =
        "!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~";
    GUID guid{};
    if (CLSIDFromString(code, &guid) != S_OK) {
        return {};
    }
    DWORD words[4];
    std::memcpy(words, &guid, sizeof words);
    std::wstring packed;
    for (DWORD word : words) {
        for (int digit = 0; digit < 5; ++digit, word /= 85) {
            packed += static_cast<wchar_t>(digits[word % 85]);
        }
    }
    return packed;
}

HRESULT SaveShellShortcut(const std::filesystem::path& file, const std::filesystem::path& target) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persist;
    HRESULT hr = CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                  link.OutVoid());
    if (SUCCEEDED(hr) && SUCCEEDED(hr = link->SetPath(target.c_str())) &&
        SUCCEEDED(hr = link.As(__uuidof(IPersistFile), persist))) {
        hr = persist->Save(file.c_str(), TRUE);
    }
    return hr;
}

// The shell link format's 76-byte header with the flags HasDarwinID and IsUnicode and nothing
// else, the Darwin data block (size 0x314, signature 0xA0000006, the descriptor "product
// feature>component" in ANSI and UTF-16, 260 characters each) and the terminal block.
bool WriteAdvertisedShortcut(const std::filesystem::path& file, const wchar_t* product,
                             const wchar_t* component) {
    const std::wstring packedProduct = PackedGuid(product);
    const std::wstring packedComponent = PackedGuid(component);
    if (packedProduct.empty() || packedComponent.empty()) {
        return false;
    }
    const std::wstring descriptor = packedProduct + L"Complete>" + packedComponent;
    std::string bytes;
    const auto put = [&bytes](const auto& value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    put(DWORD{0x4C});
    put(kShellLink);
    put(DWORD{0x1000 | 0x80});
    bytes.append(36, '\0'); // attributes, three times, target size, icon index
    put(DWORD{SW_SHOWNORMAL});
    bytes.append(12, '\0'); // hot key, reserved
    put(DWORD{0x314});
    put(DWORD{0xA0000006});
    std::string ansi(descriptor.begin(), descriptor.end()); // the digits are ASCII
    ansi.resize(260, '\0');
    std::wstring wide = descriptor;
    wide.resize(260, L'\0');
    bytes += ansi;
    bytes.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    put(DWORD{0});
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out.flush());
}

} // namespace tarn::test
