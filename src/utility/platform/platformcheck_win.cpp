#include "utility/platform/platformcheck.h"

#include "utility/log/comerror.h"

namespace tarn {

void CheckPlatformAtLoad() {
    static const bool supported = [] {
        OSVERSIONINFOEXW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
        return IsSupportedPlatform(info.dwPlatformId, info.dwMajorVersion);
    }();
    if (!supported) {
        RaiseComError(E_FAIL, u"Requires Windows 2000 or later");
    }
}

} // namespace tarn
