// The libraries loaded only for their message tables: WMI's and WinINet's from the system
// directory, and the agent extension library, found by the rules of AgentLibraryLocation.
// Both holders are process-wide singletons freed at unload (priority 254); the holders
// themselves exist on Windows only.
#pragma once

#include "utility/log/singleton.h"
#include "utility/platform/libraryhandle.h"

#include <cstdint>
#include <string>

namespace tarn {

// What locating the agent extension library asks of the machine.
class AgentLibraryFacts {
public:
    virtual ~AgentLibraryFacts() = default;
    // The full path of the host process's executable.
    virtual std::u16string HostExecutable() = 0;
    // The install-mode marker is set: the agent's installer runs us.
    virtual bool InstallMode() = 0;
    // "InstallDir" of the agent's key; false with the Win32 error code of the failed read.
    virtual bool InstallDir(std::u16string& directory, std::uint32_t& error) = 0;
    virtual bool IsWow64() = 0;
};

inline constexpr char16_t kAgentKey[] = u"Software\\Orvanta\\Orvanta Agent";
inline constexpr std::uint32_t kNoAgentLibraryInWebServer = 2; // ERROR_FILE_NOT_FOUND

// Where the agent extension library is: a path to load as a data file, or nothing and the
// error code. Inside "httpd.exe" never; under the installer beside the host executable (its
// own module standing in when the load fails); else below the agent's install directory.
struct AgentLibraryLocation {
    std::u16string path;
    bool hostFallback = false;
    std::uint32_t error = 0;
};
AgentLibraryLocation LocateAgentLibrary(AgentLibraryFacts& facts);

class ErrorMessageLibraries {
public:
    // Module handles of data-file loads; null when the load failed.
    void* Wmi() const noexcept { return wmi_.Get(); }
    void* WinInet() const noexcept { return winInet_.Get(); }
    static const ErrorMessageLibraries& Instance();

protected:
    ErrorMessageLibraries();

private:
    LibraryHandle wmi_;
    LibraryHandle winInet_;
};

class AgentExtensionLibrary {
public:
    // The library, the host executable standing in for it, or null.
    void* Module() const noexcept { return module_; }
    // 0 when Module() is valid, else the Win32 error code of locating or loading it.
    std::uint32_t Error() const noexcept { return error_; }
    static const AgentExtensionLibrary& Instance();

protected:
    AgentExtensionLibrary();

private:
    LibraryHandle library_;
    void* module_ = nullptr; // library_'s handle, or the host's own, which is not freed
    std::uint32_t error_ = 0;
};

using ErrorMessageLibrariesSingleton = Utility::SingletonT<ErrorMessageLibraries, 254>;
using AgentExtensionLibrarySingleton = Utility::SingletonT<AgentExtensionLibrary, 254>;

} // namespace tarn
