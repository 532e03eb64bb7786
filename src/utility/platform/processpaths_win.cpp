#include "utility/platform/processpaths.h"

#include "utility/platform/pathtext.h"
#include "utility/platform/wintypes.h"

// GetModuleFileNameExW from psapi.dll: PSAPI_VERSION 2 would bind to kernel32's K32 names,
// which Windows XP lacks.
#define PSAPI_VERSION 1
#include <psapi.h>

#include <limits>
#include <vector>

namespace tarn::paths {

namespace {

constexpr DWORD kExecutablePathChars = 260;
constexpr DWORD kModulePathChars = 1024;

} // namespace

std::u16string ExecutablePath(HANDLE process, HMODULE module, bool fileNameOnly) {
    wchar_t path[kExecutablePathChars] = {};
    const DWORD length = GetModuleFileNameExW(process != nullptr ? process : GetCurrentProcess(),
                                              module, path, kExecutablePathChars);
    if (length == 0) {
        return {};
    }
    const std::u16string_view full(U16(path), length);
    return std::u16string(fileNameOnly ? FileName(full) : full);
}

std::u16string ModulePath(HMODULE module) {
    wchar_t path[kModulePathChars] = {};
    const DWORD length = GetModuleFileNameW(module, path, kModulePathChars);
    // A full buffer is a cut path.
    if (length == 0 || length >= kModulePathChars) {
        return {};
    }
    return std::u16string(U16(path), length);
}

std::u16string ModuleDirectory(HMODULE module) {
    return std::u16string(ParentOf(ModulePath(module)));
}

} // namespace tarn::paths

namespace tarn {

std::u16string HostName() {
    std::vector<wchar_t> name(512);
    auto size = static_cast<DWORD>(name.size());
    BOOL named = GetComputerNameExW(ComputerNamePhysicalDnsHostname, name.data(), &size);
    if (!named && GetLastError() == ERROR_MORE_DATA) {
        name.resize(size + 1);
        size = static_cast<DWORD>(name.size());
        named = GetComputerNameExW(ComputerNamePhysicalDnsHostname, name.data(), &size);
    }
    if (named && size > 0) {
        return std::u16string(U16(name.data()), size);
    }
    size = static_cast<DWORD>(name.size());
    if (GetComputerNameW(name.data(), &size)) {
        return std::u16string(U16(name.data()), size);
    }
    return {};
}

std::string NarrowText(std::u16string_view text, UINT codePage) {
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(size), '\0');
    const int written =
        WideCharToMultiByte(codePage, 0, wide, length, narrow.data(), size, nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return narrow;
}

} // namespace tarn
