// The computer under inspection. Rule logic never calls a platform API: it asks a Machine.
// Answers carry the numbers the Windows calls return (ERROR_* codes, HRESULTs), so one rule
// implementation serves the live computer, an offline Windows image and the test fake.
#pragma once

#include "machine/installer.h"
#include "utility/platform/wintypes.h"

#include <memory>

namespace tarn {

class Machine {
public:
    virtual ~Machine() = default;

    // The Windows Installer library ("msi.dll"), loaded for one query and released when the
    // result is destroyed; null when it cannot be loaded. A machine that has no installer
    // (the default) answers null.
    virtual std::unique_ptr<InstallerLibrary> LoadInstaller() { return nullptr; }
};

// The computer this process runs on.
Machine& LiveMachine();

} // namespace tarn
