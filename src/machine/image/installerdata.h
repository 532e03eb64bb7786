// The Windows Installer of an offline image, answered from the installer's registry data
// (products, upgrade families and components under packed codes) as msi.dll answers it.
#pragma once

#include "machine/image/imagefiles.h"
#include "machine/image/registry.h"
#include "machine/installer.h"

#include <memory>
#include <string>

namespace tarn::image {

// An installer over `registry` and `files` (for shortcut files and component key paths), for a
// process running as the user `userSid`. Both must outlive it.
std::unique_ptr<InstallerLibrary>
OpenImageInstaller(const ImageRegistry& registry, const ImageFiles& files, std::u16string userSid);

} // namespace tarn::image
