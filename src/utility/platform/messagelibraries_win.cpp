#include "utility/platform/messagelibraries.h"

#include "utility/log/installlog.h"
#include "utility/platform/osdetector.h"
#include "utility/platform/pathtext.h"
#include "utility/platform/processpaths.h"
#include "utility/platform/registrykey.h"
#include "utility/platform/wintypes.h"

namespace tarn {

namespace {

class LiveAgentLibraryFacts final : public AgentLibraryFacts {
public:
    std::u16string HostExecutable() override { return paths::ModulePath(nullptr); }
    bool InstallMode() override { return installlog::IsInstallMode(); }
    bool InstallDir(std::u16string& directory, std::uint32_t& error) override {
        RegistryKey key;
        if (!key.Open(HKEY_LOCAL_MACHINE, kAgentKey, KEY_READ) ||
            !key.QueryString(u"InstallDir", directory)) {
            error = GetLastError();
            return false;
        }
        return true;
    }
    bool IsWow64() override { return OSDetector::Instance().isWow64(); }
};

} // namespace

ErrorMessageLibraries::ErrorMessageLibraries() {
    wchar_t system[520] = {};
    const UINT length = GetSystemDirectoryW(system, 520);
    if (length == 0 || length >= 520) {
        return;
    }
    const std::u16string directory(U16(system), length);
    wmi_.LoadDataFile(paths::Combine(directory, u"wbem\\wmiutils.dll").c_str());
    winInet_.LoadDataFile(paths::Combine(directory, u"wininet.dll").c_str());
}

const ErrorMessageLibraries& ErrorMessageLibraries::Instance() {
    return ErrorMessageLibrariesSingleton::Instance();
}

AgentExtensionLibrary::AgentExtensionLibrary() {
    LiveAgentLibraryFacts facts;
    const AgentLibraryLocation location = LocateAgentLibrary(facts);
    if (location.path.empty()) {
        error_ = location.error;
        return;
    }
    if (library_.LoadDataFile(location.path.c_str())) {
        module_ = library_.Get();
    } else if (location.hostFallback) {
        module_ = GetModuleHandleW(nullptr);
    } else {
        error_ = GetLastError();
    }
}

const AgentExtensionLibrary& AgentExtensionLibrary::Instance() {
    return AgentExtensionLibrarySingleton::Instance();
}

} // namespace tarn
