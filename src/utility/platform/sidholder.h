// Owning holder of a SID and the query of a token's user. Windows only.
#pragma once

#include <windows.h>

#include <utility>

namespace tarn {

// Owns at most one SID, released by the rule of its allocation: LocalFree for SIDs the
// system allocated with LocalAlloc (string conversions), FreeSid for copies made here.
class SidHolder {
public:
    SidHolder() noexcept = default;
    SidHolder(const SidHolder&) = delete;
    SidHolder& operator=(const SidHolder&) = delete;
    SidHolder(SidHolder&& other) noexcept
        : sid_(std::exchange(other.sid_, nullptr)),
          localAllocated_(std::exchange(other.localAllocated_, false)) {}
    SidHolder& operator=(SidHolder&& other) noexcept {
        if (this != &other) {
            Clear();
            sid_ = std::exchange(other.sid_, nullptr);
            localAllocated_ = std::exchange(other.localAllocated_, false);
        }
        return *this;
    }
    ~SidHolder() { Clear(); }

    // Releases the SID, keeping the thread's last-error code, and empties the holder.
    void Clear() noexcept;
    // Holds a copy of `source` (released with FreeSid); what was held is released first.
    // False with the thread's last-error code when the copy fails; the holder is then empty.
    bool Copy(PSID source) noexcept;
    // Takes ownership of a SID that must be released with LocalFree.
    void AttachLocal(PSID sid) noexcept {
        Clear();
        sid_ = sid;
        localAllocated_ = true;
    }

    PSID Get() const noexcept { return sid_; }
    bool IsLocalAllocated() const noexcept { return localAllocated_; }
    explicit operator bool() const noexcept { return sid_ != nullptr; }

private:
    PSID sid_ = nullptr;
    bool localAllocated_ = false;
};

// The user SID of `token` (which needs TOKEN_QUERY access), copied into `user`. True with
// last-error 0; false with the code of the failure and `user` empty.
bool QueryTokenUser(HANDLE token, SidHolder& user) noexcept;

} // namespace tarn
