// Process-wide services created on first use and destroyed in a fixed order when the module
// unloads. Every singleton of the module shares one re-entrant lock and one registry of
// destroy functions; misuse (use after destruction, creation from a foreign thread while the
// module unloads) ends the process with exit code 50.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>

namespace tarn::Utility {

// One critical section, re-entrant for its owning thread. Platform storage lives inline so
// that the lock needs no heap and can be made during static initialisation.
class SingletonLock {
public:
    SingletonLock() noexcept;
    ~SingletonLock();
    SingletonLock(const SingletonLock&) = delete;
    SingletonLock& operator=(const SingletonLock&) = delete;

    void Enter() noexcept;
    void Leave() noexcept;

private:
    alignas(std::max_align_t) unsigned char storage_[64];
};

// Destroy functions by priority. Destruction runs highest priority first and entries of equal
// priority in the reverse order of their registration, in passes until nothing is left, so
// that a destroy function may create a singleton it needs (destroyed in the next pass).
class SingletonRegistry {
public:
    using DestroyFunction = void (*)() noexcept;

    void Register(std::uint32_t priority, DestroyFunction destroy);
    void DestroyAll() noexcept;

private:
    std::multimap<std::uint32_t, DestroyFunction> entries_;
};

// The module's unload sequence: records the calling thread as the unloading one, then destroys
// every registered singleton under the singleton lock. Runs from the module's static
// destruction; a module's detach path may call it earlier to control the order. Calling it
// again destroys only what was created since.
void DestroySingletons() noexcept;

enum class SingletonMisuse { UseAfterDestruction, CreateOnUnloadFromWrongThread };

// The text written to the debugger output before the process is ended.
const char16_t* SingletonMisuseMessage(SingletonMisuse misuse) noexcept;

namespace singleton_detail {

[[noreturn]] void EndProcess(SingletonMisuse misuse) noexcept;
bool IsForeignThreadDuringUnload() noexcept;
void EnterLock() noexcept;
void LeaveLock() noexcept;
void Register(std::uint32_t priority, SingletonRegistry::DestroyFunction destroy);

class LockScope {
public:
    LockScope() noexcept { EnterLock(); }
    ~LockScope() { LeaveLock(); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;
};

} // namespace singleton_detail

// The one instance of T, created on first use and destroyed at unload with priority P.
// T's constructor takes no arguments and must be public or protected.
template <class T, std::uint32_t P>
class SingletonT {
public:
    static T& Instance() {
        const std::uint32_t state = state_.load(std::memory_order_acquire);
        if ((state & kDestroyed) != 0) {
            singleton_detail::EndProcess(SingletonMisuse::UseAfterDestruction);
        }
        if ((state & kCreated) != 0) {
            return *instance_;
        }
        CheckUnloadThread();
        const singleton_detail::LockScope lock;
        const std::uint32_t lockedState = state_.load(std::memory_order_acquire);
        if ((lockedState & kDestroyed) != 0) {
            singleton_detail::EndProcess(SingletonMisuse::UseAfterDestruction);
        }
        if ((lockedState & kCreated) == 0) {
            CheckUnloadThread();
            Create();
        }
        return *instance_;
    }

private:
    // Derived from T so that a protected constructor and destructor are enough.
    class TInstanceStatic : public T {
    public:
        TInstanceStatic() : T() {}
    };

    static constexpr std::uint32_t kCreated = 1;
    static constexpr std::uint32_t kDestroyed = 2;

    static void CheckUnloadThread() noexcept {
        if (singleton_detail::IsForeignThreadDuringUnload()) {
            singleton_detail::EndProcess(SingletonMisuse::CreateOnUnloadFromWrongThread);
        }
    }

    // Called under the lock. A throwing constructor leaves the state at 0.
    static void Create() {
        std::memset(storage_, 0, sizeof(storage_));
        instance_ = ::new (static_cast<void*>(storage_)) TInstanceStatic();
        try {
            singleton_detail::Register(P, &Destroy);
        } catch (...) {
            instance_->~TInstanceStatic();
            instance_ = nullptr;
            throw;
        }
        state_.store(kCreated, std::memory_order_release);
    }

    static void Destroy() noexcept {
        state_.store(kCreated | kDestroyed, std::memory_order_release);
        instance_->~TInstanceStatic();
    }

    static inline std::atomic<std::uint32_t> state_{0};
    static inline TInstanceStatic* instance_ = nullptr;
    alignas(TInstanceStatic) static inline unsigned char storage_[sizeof(TInstanceStatic)];
};

} // namespace tarn::Utility
