#include "utility/platform/messagelibraries.h"

#include "utility/platform/pathtext.h"
#include "utility/text/strings.h"

namespace tarn {

AgentLibraryLocation LocateAgentLibrary(AgentLibraryFacts& facts) {
    AgentLibraryLocation location;
    const std::u16string host = facts.HostExecutable();
    if (EqualsAsciiNoCase(paths::FileName(host), u"httpd.exe")) {
        location.error = kNoAgentLibraryInWebServer;
        return location;
    }
    if (facts.InstallMode()) {
        location.path =
            std::u16string(paths::ParentOf(host)) + u"\\x86\\CoreAgentDll\\KpxAgentExt.dll";
        location.hostFallback = true;
        return location;
    }
    std::u16string directory;
    if (!facts.InstallDir(directory, location.error)) {
        return location;
    }
    location.error = 0;
    paths::StripTrailingSeparator(directory);
    location.path =
        directory + (facts.IsWow64() ? u"\\x86\\KpxAgentExt.dll" : u"\\KpxAgentExt.dll");
    return location;
}

} // namespace tarn
