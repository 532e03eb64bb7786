#include "utility/log/singleton.h"

#include "utility/log/singletonplatform.h"

namespace tarn::Utility {

void SingletonRegistry::Register(std::uint32_t priority, DestroyFunction destroy) {
    entries_.emplace(priority, destroy);
}

void SingletonRegistry::DestroyAll() noexcept {
    for (;;) {
        std::multimap<std::uint32_t, DestroyFunction> pass;
        pass.swap(entries_);
        if (pass.empty()) {
            return;
        }
        // Equal keys keep their order of insertion, so walking backwards gives the highest
        // priority first and, within a priority, the one registered last first.
        for (auto entry = pass.rbegin(); entry != pass.rend(); ++entry) {
            entry->second();
        }
    }
}

namespace {

// 0 until the unload sequence begins, then the id of the unloading thread.
constinit std::atomic<std::uint32_t> unloadThreadId{0};

// Made when the module is loaded, before ordinary static objects (lock first, then the
// registry), and destroyed after them: the unload sequence runs, the registry goes, and
// the lock is deleted last.
struct ModuleSingletons {
    SingletonLock lock;
    SingletonRegistry registry;

    ModuleSingletons() noexcept = default;
    ~ModuleSingletons() { DestroySingletons(); }
};

__attribute__((init_priority(150))) ModuleSingletons moduleSingletons;

constexpr char16_t kUseAfterDestruction[] =
    u"\n*** KPXUTILITY: ATTEMPTED TO USE ALREADY DESTROYED SINGLETON, PROCESS WILL BE "
    u"TERMINATED ***\n";
constexpr char16_t kCreateOnUnloadFromWrongThread[] =
    u"\n*** KPXUTILITY: ATTEMPTED TO INITIALIZE A SINGLETON ON MODULE UNLOAD FROM THE WRONG "
    u"THREAD, PROCESS WILL BE TERMINATED ***\n";

} // namespace

void DestroySingletons() noexcept {
    unloadThreadId.store(platform::CurrentThreadId());
    const singleton_detail::LockScope lock;
    moduleSingletons.registry.DestroyAll();
}

const char16_t* SingletonMisuseMessage(SingletonMisuse misuse) noexcept {
    return misuse == SingletonMisuse::UseAfterDestruction ? kUseAfterDestruction
                                                          : kCreateOnUnloadFromWrongThread;
}

namespace singleton_detail {

void EndProcess(SingletonMisuse misuse) noexcept {
    platform::WriteDebuggerOutput(SingletonMisuseMessage(misuse));
    platform::BreakIntoAttachedDebugger();
    platform::TerminateCurrentProcess(50);
}

bool IsForeignThreadDuringUnload() noexcept {
    const std::uint32_t unloading = unloadThreadId.load();
    return unloading != 0 && unloading != platform::CurrentThreadId();
}

void EnterLock() noexcept {
    moduleSingletons.lock.Enter();
}
void LeaveLock() noexcept {
    moduleSingletons.lock.Leave();
}

void Register(std::uint32_t priority, SingletonRegistry::DestroyFunction destroy) {
    moduleSingletons.registry.Register(priority, destroy);
}

} // namespace singleton_detail

} // namespace tarn::Utility
