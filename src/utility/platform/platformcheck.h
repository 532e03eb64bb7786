// The load-time check of the Windows that the component runs in.
#pragma once

#include "utility/platform/wintypes.h"

namespace tarn {

inline constexpr DWORD kPlatformNT = 2; // VER_PLATFORM_WIN32_NT

// Whether GetVersionExW's platform id and major version name a Windows this component
// supports: NT, and not NT 4.
constexpr bool IsSupportedPlatform(DWORD platformId, DWORD majorVersion) noexcept {
    return platformId == kPlatformNT && majorVersion != 4;
}

// Raises 0x80004005 "Requires Windows 2000 or later" through RaiseComError when the running
// Windows is not supported. The version is asked once per process. Windows only.
void CheckPlatformAtLoad();

} // namespace tarn
