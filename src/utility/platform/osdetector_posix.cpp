#include "utility/platform/osdetector.h"

namespace tarn::platform {

// Not Windows: the version query fails as GetVersionExW would, leaving the record zeroed.
bool QueryVersionRecord(OsVersionRecord& record, bool extended) noexcept {
    record = OsVersionRecord{};
    record.size = extended ? kVersionRecordExtendedSize : kVersionRecordBasicSize;
    return false;
}

std::optional<bool> QueryWow64Process() noexcept {
    return std::nullopt;
}

bool IsWindowsProcess64Bit() noexcept {
    return false;
}

} // namespace tarn::platform
