// A scriptable machine for native tests, one member per concern. Each concern answers with
// the codes and buffer rules of the Windows calls it stands for and records what it was asked.
#pragma once

#include "machine/machine.h"
#include "support/fakeinstaller.h"

#include <memory>

namespace tarn::test {

class FakeMachine : public Machine {
public:
    FakeInstaller installer;

    std::unique_ptr<InstallerLibrary> LoadInstaller() override { return installer.Load(); }
};

} // namespace tarn::test
