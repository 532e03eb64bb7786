// Owning holder of a critical section, made in two steps so that a failure to create it can
// be answered (the module fails its load, an object its creation).
#pragma once

#include <windows.h>

namespace tarn::provider {

class CriticalSection {
public:
    CriticalSection() noexcept = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    ~CriticalSection() {
        if (initialized_) {
            DeleteCriticalSection(&section_);
        }
    }

    // False, with the thread's last-error code, when the section cannot be created.
    bool Initialize() noexcept {
        initialized_ = InitializeCriticalSectionAndSpinCount(&section_, 0) != FALSE;
        return initialized_;
    }

    void Enter() noexcept { EnterCriticalSection(&section_); }
    void Leave() noexcept { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_{};
    bool initialized_ = false;
};

class CriticalSectionScope {
public:
    explicit CriticalSectionScope(CriticalSection& section) noexcept : section_(section) {
        section_.Enter();
    }
    CriticalSectionScope(const CriticalSectionScope&) = delete;
    CriticalSectionScope& operator=(const CriticalSectionScope&) = delete;
    ~CriticalSectionScope() { section_.Leave(); }

private:
    CriticalSection& section_;
};

} // namespace tarn::provider
