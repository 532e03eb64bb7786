// The computer this process runs on, answered through the Windows APIs.
#pragma once

#include "machine/machine.h"

#include <memory>

namespace tarn::live {

// "msi.dll" loaded by that bare name; null, with the thread's last-error code, when it cannot
// be loaded.
std::unique_ptr<InstallerLibrary> LoadInstallerLibrary();

class WindowsMachine final : public Machine {
public:
    std::unique_ptr<InstallerLibrary> LoadInstaller() override { return LoadInstallerLibrary(); }
};

} // namespace tarn::live
