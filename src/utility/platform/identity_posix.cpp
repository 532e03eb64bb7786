// Without Windows: root stands for the local system account, there are no integrity labels
// and no thread impersonates, so no token handle is ever opened.
#include "utility/platform/identity.h"

#include <unistd.h>

namespace tarn {

TokenHandle::~TokenHandle() = default;

bool TokenHandle::Close() noexcept {
    handle_ = nullptr;
    return true;
}

bool IsRunningAsLocalSystem() noexcept {
    SetLastError(ERROR_SUCCESS);
    return geteuid() == 0;
}

bool GetProcessIntegrityLevel(DWORD& /*rid*/) noexcept {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

ImpersonationSuspender::ImpersonationSuspender() noexcept = default;

ImpersonationSuspender::~ImpersonationSuspender() = default;

} // namespace tarn
