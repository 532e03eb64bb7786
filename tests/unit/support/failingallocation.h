// Fault injection for the native tests: the global operator new of the test binary can be
// told to fail (throw std::bad_alloc) after a number of successful allocations on the
// calling thread.
#pragma once

namespace tarn::test {

// Allocations on this thread succeed `successes` more times, then fail until Reset.
void FailAllocationsAfter(long successes) noexcept;
void StopFailingAllocations() noexcept;
// Whether an allocation failed since the last FailAllocationsAfter.
bool AllocationFailed() noexcept;

class FailingAllocationScope {
public:
    explicit FailingAllocationScope(long successes) noexcept { FailAllocationsAfter(successes); }
    ~FailingAllocationScope() { StopFailingAllocations(); }
    FailingAllocationScope(const FailingAllocationScope&) = delete;
    FailingAllocationScope& operator=(const FailingAllocationScope&) = delete;
};

} // namespace tarn::test
