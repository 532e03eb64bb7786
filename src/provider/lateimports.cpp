// Import slots that stand in for functions the static runtime imports but Windows XP lacks, so
// that the DLL loads there. The linker takes a slot defined here instead of the one from the
// system's import library; the runtime's calls go through it to a function bound late.
//
// GetTickCount64 (Windows Vista): winpthreads measures its timed waits with it. Where kernel32
// has none, GetTickCount is extended to 64 bits.
#include "utility/platform/libraryhandle.h"
#include "utility/platform/tickcount.h"

#include <windows.h>

#include <atomic>

namespace {

using TickCount64Function = ULONGLONG(WINAPI*)();

// GetTickCount with its wraps counted: exact while calls come at least every 49.7 days, as
// they do while a wait measures itself. Lock-free: the callers are the runtime's own locks.
ULONGLONG WINAPI ExtendedTickCount() noexcept {
    static std::atomic<ULONGLONG> latest{0};
    ULONGLONG seen = latest.load();
    // Each reading comes after `seen` was loaded, so it is never earlier than `seen`.
    ULONGLONG now = tarn::ExtendTickCount(seen, GetTickCount());
    while (!latest.compare_exchange_weak(seen, now)) {
        now = tarn::ExtendTickCount(seen, GetTickCount());
    }
    return now;
}

TickCount64Function BindTickCount64() noexcept {
    const DWORD lastError = GetLastError();
    tarn::LibraryHandle kernel32;
    kernel32.Load(u"kernel32.dll");
    // kernel32 stays loaded in every process, so its function outlives this handle.
    const auto system = kernel32.FindFunction<TickCount64Function>("GetTickCount64");
    SetLastError(lastError);
    return system != nullptr ? system : &ExtendedTickCount;
}

ULONGLONG WINAPI LateTickCount64() noexcept {
    static std::atomic<TickCount64Function> bound{nullptr};
    TickCount64Function function = bound.load(std::memory_order_acquire);
    if (function == nullptr) {
        function = BindTickCount64();
        bound.store(function, std::memory_order_release);
    }
    return function();
}

} // namespace

// i686 import names carry the __stdcall decoration.
#if defined(__i386__)
#define TARN_IMPORT_SLOT(name, argumentBytes) "__imp__" #name "@" #argumentBytes
#else
#define TARN_IMPORT_SLOT(name, argumentBytes) "__imp_" #name
#endif

extern "C" {
extern const TickCount64Function tarnImportGetTickCount64 asm(TARN_IMPORT_SLOT(GetTickCount64, 0));
const TickCount64Function tarnImportGetTickCount64 = &LateTickCount64;
}
