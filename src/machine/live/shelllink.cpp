// Ordinary shortcuts through the shell link object. The calling thread has COM initialised
// (the host's concern).
#include "machine/live/livemachine.h"
#include "utility/platform/comptr.h"

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <string>

namespace tarn::live {

ShellLinkAnswer WindowsMachine::ShellLinkTarget(std::u16string_view shortcutPath) {
    ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.OutVoid());
    if (FAILED(hr)) {
        return {hr, {}};
    }
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.OutVoid());
    if (FAILED(hr)) {
        return {hr, {}};
    }
    // Whether the file loads is not asked: the target path alone decides.
    const std::u16string path(shortcutPath);
    file->Load(reinterpret_cast<const wchar_t*>(path.c_str()), STGM_READ);
    wchar_t target[MAX_PATH] = {};
    WIN32_FIND_DATAW data = {};
    hr = link->GetPath(target, MAX_PATH, &data, SLGP_UNCPRIORITY);
    target[MAX_PATH - 1] = L'\0';
    return {hr, std::u16string(reinterpret_cast<const char16_t*>(target))};
}

} // namespace tarn::live
