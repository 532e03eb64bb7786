// Registering and unregistering a loaded type library, shared by the DLL's own registration
// and the tool that registers the agent's library where no agent is installed.
#pragma once

#include <windows.h>

#include <oleauto.h>

namespace tarn::provider {

// Registers `library`, loaded from the file at `path`.
HRESULT RegisterTypeLibrary(ITypeLib* library, const wchar_t* path);
// Removes the registration of `library`; one that is not registered has nothing to remove.
HRESULT UnregisterTypeLibrary(ITypeLib* library);

} // namespace tarn::provider
