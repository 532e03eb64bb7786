#include "support/failingallocation.h"

#include <cstdlib>
#include <new>

namespace {

// -1: never fail.
thread_local long remaining = -1;
thread_local bool failed = false;

// Counts one allocation, throwing when it is the one to fail.
void Permit() {
    if (remaining == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    if (remaining > 0) {
        --remaining;
    }
}

void* Allocate(std::size_t size) {
    Permit();
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}

} // namespace

namespace tarn::test {

void FailAllocationsAfter(long successes) noexcept {
    failed = false;
    remaining = successes;
}
void StopFailingAllocations() noexcept {
    remaining = -1;
}
bool AllocationFailed() noexcept {
    return failed;
}

} // namespace tarn::test

// The replacements cover every form but the over-aligned ones, which nothing here uses, so
// that allocation and release always pair up.
void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
