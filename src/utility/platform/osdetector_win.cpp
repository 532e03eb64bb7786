#include "utility/platform/osdetector.h"

#include "utility/platform/libraryhandle.h"
#include "utility/platform/wintypes.h"

#include <algorithm>

namespace tarn::platform {

bool QueryVersionRecord(OsVersionRecord& record, bool extended) noexcept {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = extended ? kVersionRecordExtendedSize : kVersionRecordBasicSize;
    static_assert(sizeof(OSVERSIONINFOEXW) == kVersionRecordExtendedSize);
    static_assert(sizeof(OSVERSIONINFOW) == kVersionRecordBasicSize);
    const bool succeeded = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
    record = OsVersionRecord{};
    record.size = info.dwOSVersionInfoSize;
    record.majorVersion = info.dwMajorVersion;
    record.minorVersion = info.dwMinorVersion;
    record.buildNumber = info.dwBuildNumber;
    record.platformId = info.dwPlatformId;
    std::copy_n(U16(info.szCSDVersion), std::size(record.servicePackText), record.servicePackText);
    record.servicePackMajor = info.wServicePackMajor;
    record.servicePackMinor = info.wServicePackMinor;
    record.suiteMask = info.wSuiteMask;
    record.productType = info.wProductType;
    record.reserved = info.wReserved;
    return succeeded;
}

bool IsWindowsProcess64Bit() noexcept {
    return sizeof(void*) == 8;
}

std::optional<bool> QueryWow64Process() noexcept {
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, BOOL*);
    LibraryHandle kernel32;
    kernel32.Load(u"kernel32.dll");
    const auto isWow64Process = kernel32.FindFunction<IsWow64ProcessFunction>("IsWow64Process");
    if (isWow64Process == nullptr) {
        return std::nullopt;
    }
    BOOL wow64 = FALSE;
    return isWow64Process(GetCurrentProcess(), &wow64) != FALSE && wow64 != FALSE;
}

} // namespace tarn::platform
