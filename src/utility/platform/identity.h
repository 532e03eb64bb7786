// Who the process is and how far it is trusted: whether it runs as the local system account,
// its integrity level, and lifting a thread's impersonation for a scope. Every operation runs
// on the caller's thread, answers false on failure with a Win32 code as the thread's
// last-error code, and never throws. Where Windows is absent the process is the local system
// account when it runs as root, its integrity level cannot be read, and no thread
// impersonates.
#pragma once

#include "utility/platform/wintypes.h"

#include <cstdint>
#include <optional>
#include <utility>

namespace tarn {

// Relative ids of the mandatory integrity labels (S-1-16-<rid>).
inline constexpr DWORD kLowIntegrityRid = 0x1000;
inline constexpr DWORD kMediumIntegrityRid = 0x2000;
inline constexpr DWORD kHighIntegrityRid = 0x3000;
inline constexpr DWORD kSystemIntegrityRid = 0x4000;

// Owns at most one kernel handle (a token or a process), null when empty.
class TokenHandle {
public:
    TokenHandle() noexcept = default;
    explicit TokenHandle(void* handle) noexcept : handle_(handle) {}
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;
    TokenHandle(TokenHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    TokenHandle& operator=(TokenHandle&& other) noexcept {
        if (this != &other) {
            Attach(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    // Closes a held handle keeping the thread's last-error code, so that the code of a
    // failure survives the clean-up.
    ~TokenHandle();

    // Takes ownership of `handle`, closing the one held before.
    void Attach(void* handle) noexcept {
        Close();
        handle_ = handle;
    }
    // Where an opening call stores its handle; the one held before is closed first.
    void** Out() noexcept {
        Close();
        return &handle_;
    }
    // Closes the handle and empties the holder; whether the close succeeded (true when empty).
    bool Close() noexcept;
    void* Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

// Whether the process token's user is the local system account (S-1-5-18). Any failure
// answers false.
bool IsRunningAsLocalSystem() noexcept;

// The relative id of the process's integrity label (kLowIntegrityRid, ...). False when the
// process token cannot be opened or has no label to read (Windows before Vista).
bool GetProcessIntegrityLevel(DWORD& rid) noexcept;

// The process's integrity level can be read and is low: such a process logs apart.
inline bool IsLowIntegrityProcess() noexcept {
    DWORD rid = 0;
    return GetProcessIntegrityLevel(rid) && rid == kLowIntegrityRid;
}

// Lifts the calling thread's impersonation for the lifetime of the object, so that files and
// objects are made with the process's own identity; the same impersonation token is put back
// at the end, also when the scope ends by an exception. A thread that does not impersonate is
// left alone. Bound to the thread that makes it. The thread's last-error code is kept.
class ImpersonationSuspender {
public:
    ImpersonationSuspender() noexcept;
    ~ImpersonationSuspender();
    ImpersonationSuspender(const ImpersonationSuspender&) = delete;
    ImpersonationSuspender& operator=(const ImpersonationSuspender&) = delete;

    // The thread was impersonating when the object was made.
    bool Suspended() const noexcept { return static_cast<bool>(token_); }

private:
    TokenHandle token_;
};

namespace identity {

// The first of the two calls of a variable-size token query asks with an empty buffer and
// must fail with ERROR_INSUFFICIENT_BUFFER. Nothing when the query goes on to its second
// call; else the code the query fails with: ERROR_INTERNAL_ERROR when the first call
// succeeded, the first call's code otherwise.
std::optional<DWORD> FirstTokenQueryFailure(bool succeeded, DWORD error) noexcept;

// Decisions on a SID in the platform's binary layout (revision, sub-authority count, 6-byte
// identifier authority, 32-bit sub-authorities); `sid` must be complete.
// The NT authority with 18 as first sub-authority: the local system account.
bool IsLocalSystemSid(const void* sid) noexcept;
// The last sub-authority (the relative id of a label); nothing when there is none.
std::optional<DWORD> LastSubAuthority(const void* sid) noexcept;

} // namespace identity

} // namespace tarn
