#include "utility/log/singleton.h"
#include "utility/log/singletonplatform.h"
#include "utility/platform/wintypes.h"

namespace tarn::Utility {

namespace {

CRITICAL_SECTION* Section(unsigned char* storage) noexcept {
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

} // namespace

SingletonLock::SingletonLock() noexcept {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(storage_));
    InitializeCriticalSection(Section(storage_));
}

SingletonLock::~SingletonLock() {
    DeleteCriticalSection(Section(storage_));
}

void SingletonLock::Enter() noexcept {
    EnterCriticalSection(Section(storage_));
}

void SingletonLock::Leave() noexcept {
    LeaveCriticalSection(Section(storage_));
}

namespace platform {

std::uint32_t CurrentThreadId() noexcept {
    return GetCurrentThreadId();
}

void WriteDebuggerOutput(const char16_t* text) noexcept {
    OutputDebugStringW(Ole(text));
}

void BreakIntoAttachedDebugger() noexcept {
    if (IsDebuggerPresent()) {
        DebugBreak();
    }
}

void TerminateCurrentProcess(std::uint32_t exitCode) noexcept {
    TerminateProcess(GetCurrentProcess(), exitCode);
    ExitProcess(exitCode); // not reached: terminating the own process does not return
}

} // namespace platform

} // namespace tarn::Utility
