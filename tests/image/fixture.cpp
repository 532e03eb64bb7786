// Makes the shortcuts of the image test's machine, one per argument group:
//
//   image_fixture shell LINK TARGET | advertised LINK PRODUCT COMPONENT ...
//
// shell: a link saved by the shell's link object; advertised: an installer shortcut that starts
// COMPONENT of PRODUCT, written as the installer writes it. Missing folders of LINK are made.
// Exit status 0 when every shortcut was made; otherwise the first failure is printed.
#include "support/provider.h"
#include "support/shortcuts.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

int Fail(const wchar_t* what, const wchar_t* link, long code) {
    std::fwprintf(stderr, L"image_fixture: %ls %ls failed (0x%08lX)\n", what, link,
                  static_cast<unsigned long>(code));
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const tarn::test::ComScope com;
    for (int i = 1; i < argc;) {
        const std::wstring kind = argv[i];
        const int needed = kind == L"shell" ? 3 : kind == L"advertised" ? 4 : 0;
        if (needed == 0 || i + needed > argc) {
            std::fwprintf(stderr, L"usage: image_fixture shell LINK TARGET | advertised LINK "
                                  L"PRODUCT COMPONENT ...\n");
            return 2;
        }
        const fs::path link = argv[i + 1];
        std::error_code error;
        fs::create_directories(link.parent_path(), error);
        if (kind == L"shell") {
            if (const HRESULT hr = tarn::test::SaveShellShortcut(link, argv[i + 2]); hr != S_OK) {
                return Fail(L"shell link", argv[i + 1], hr);
            }
        } else if (!tarn::test::WriteAdvertisedShortcut(link, argv[i + 2], argv[i + 3])) {
            return Fail(L"advertised shortcut", argv[i + 1], static_cast<long>(GetLastError()));
        }
        i += needed;
    }
    return 0;
}
