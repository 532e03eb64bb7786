#include "utility/platform/identity.h"
#include "utility/platform/sidholder.h"

#include <windows.h>

#include <memory>
#include <new>

namespace tarn {

namespace {

// A variable-size token record read by the two-call pattern. True with last-error 0.
bool QueryTokenRecord(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                      std::unique_ptr<unsigned char[]>& record) noexcept {
    DWORD size = 0;
    const BOOL sized = GetTokenInformation(token, kind, nullptr, 0, &size);
    if (const std::optional<DWORD> failure =
            identity::FirstTokenQueryFailure(sized != FALSE, GetLastError())) {
        SetLastError(*failure);
        return false;
    }
    record.reset(new (std::nothrow) unsigned char[size]);
    if (!record) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (!GetTokenInformation(token, kind, record.get(), size, &size)) {
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool OpenProcessTokenHandle(TokenHandle& token) noexcept {
    return OpenProcessToken(GetCurrentProcess(), MAXIMUM_ALLOWED, token.Out()) != FALSE;
}

} // namespace

TokenHandle::~TokenHandle() {
    if (handle_ != nullptr) {
        const DWORD lastError = GetLastError();
        CloseHandle(handle_);
        SetLastError(lastError);
    }
}

bool TokenHandle::Close() noexcept {
    if (handle_ == nullptr) {
        return true;
    }
    return CloseHandle(std::exchange(handle_, nullptr)) != FALSE;
}

void SidHolder::Clear() noexcept {
    if (sid_ == nullptr) {
        return;
    }
    const DWORD lastError = GetLastError();
    if (localAllocated_) {
        LocalFree(sid_);
    } else {
        FreeSid(sid_);
    }
    sid_ = nullptr;
    localAllocated_ = false;
    SetLastError(lastError);
}

bool SidHolder::Copy(PSID source) noexcept {
    Clear();
    const SID* from = static_cast<const SID*>(source);
    SID_IDENTIFIER_AUTHORITY authority = from->IdentifierAuthority;
    PSID copy = nullptr;
    // Allocated for the source's sub-authority count, so that FreeSid releases it.
    if (!AllocateAndInitializeSid(&authority, from->SubAuthorityCount, 0, 0, 0, 0, 0, 0, 0, 0,
                                  &copy)) {
        return false;
    }
    if (!CopySid(GetSidLengthRequired(from->SubAuthorityCount), copy, source)) {
        const DWORD error = GetLastError();
        FreeSid(copy);
        SetLastError(error);
        return false;
    }
    sid_ = copy;
    return true;
}

bool QueryTokenUser(HANDLE token, SidHolder& user) noexcept {
    user.Clear();
    std::unique_ptr<unsigned char[]> record;
    if (!QueryTokenRecord(token, TokenUser, record) ||
        !user.Copy(reinterpret_cast<const TOKEN_USER*>(record.get())->User.Sid)) {
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool IsRunningAsLocalSystem() noexcept {
    TokenHandle token;
    SidHolder user;
    return OpenProcessTokenHandle(token) && QueryTokenUser(token.Get(), user) &&
           identity::IsLocalSystemSid(user.Get());
}

bool GetProcessIntegrityLevel(DWORD& rid) noexcept {
    TokenHandle token;
    std::unique_ptr<unsigned char[]> record;
    if (!OpenProcessTokenHandle(token) ||
        !QueryTokenRecord(token.Get(), TokenIntegrityLevel, record)) {
        return false;
    }
    const std::optional<DWORD> last = identity::LastSubAuthority(
        reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(record.get())->Label.Sid);
    if (!last) {
        SetLastError(ERROR_INVALID_SID);
        return false;
    }
    rid = *last;
    return true;
}

ImpersonationSuspender::ImpersonationSuspender() noexcept {
    const DWORD lastError = GetLastError();
    HANDLE thread = nullptr;
    // Opened as the process, so that a thread impersonating someone with less access still
    // gets its token.
    if (OpenThreadToken(GetCurrentThread(), TOKEN_IMPERSONATE, TRUE, &thread)) {
        token_.Attach(thread);
        RevertToSelf();
    }
    SetLastError(lastError);
}

ImpersonationSuspender::~ImpersonationSuspender() {
    if (token_) {
        const DWORD lastError = GetLastError();
        SetThreadToken(nullptr, token_.Get());
        token_.Close();
        SetLastError(lastError);
    }
}

} // namespace tarn
