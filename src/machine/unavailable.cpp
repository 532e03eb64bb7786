#include "machine/unavailable.h"

#include "utility/log/comerror.h"

namespace tarn {

void UnavailableMachine::RaiseUnavailable(std::u16string_view query) {
    RaiseComErrorFormat(kNeedsWindowsImage, u"%ws needs a Windows image", query);
}

std::unique_ptr<InstallerLibrary> UnavailableMachine::LoadInstaller() {
    RaiseUnavailable(u"A Windows Installer query");
}

} // namespace tarn
