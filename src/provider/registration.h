// Self-registration: the registry entries of the AppID and class scripts, and the embedded
// type library. Both run with the thread locale set to the system default (0x0800) and
// restore the caller's locale on every path.
#pragma once

#include <windows.h>

namespace tarn::provider {

// The first failure, or S_OK.
HRESULT RegisterServer(HMODULE module) noexcept;
// Removes what RegisterServer wrote; the first failure, or S_OK. Entries that are already
// gone are not a failure.
HRESULT UnregisterServer(HMODULE module) noexcept;

} // namespace tarn::provider
