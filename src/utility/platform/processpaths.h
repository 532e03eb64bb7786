// Names of the running program and of the machine: executable and module paths, the host
// name, and narrow text for the platform's code pages (the Program Files folder is in
// pathservices.h). Windows only. Each answer is empty on failure, with the thread's last-error
// code from the failed call.
#pragma once

#include "utility/platform/pathservices.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tarn::paths {

// GetModuleFileNameExW (260 characters) of `module` in `process`: the current process and its
// main module when null. With `fileNameOnly`, only the final component.
std::u16string ExecutablePath(HANDLE process = nullptr, HMODULE module = nullptr,
                              bool fileNameOnly = false);

// GetModuleFileNameW (1024 characters) of `module` in this process (null: the executable).
std::u16string ModulePath(HMODULE module);
// The parent of ModulePath.
std::u16string ModuleDirectory(HMODULE module);

} // namespace tarn::paths

namespace tarn {

// The machine's DNS host name (ComputerNamePhysicalDnsHostname), else its NetBIOS name.
std::u16string HostName();

// `text` in `codePage` through WideCharToMultiByte; empty for empty text.
std::string NarrowText(std::u16string_view text, UINT codePage);

} // namespace tarn
