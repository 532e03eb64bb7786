// The DLL's entry point and its four exports.
#include "provider/module.h"
#include "utility/log/singleton.h"

#include <objbase.h>
#include <olectl.h>
#include <windows.h>

using tarn::provider::Module;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        return Module().Initialize(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        // A non-null `reserved` means the process is ending rather than unloading the DLL.
        Module().Terminate(reserved != nullptr);
        tarn::Utility::DestroySingletons();
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return Module().GetClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return Module().CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return Module().RegisterServer();
}

STDAPI DllUnregisterServer() {
    return Module().UnregisterServer();
}
