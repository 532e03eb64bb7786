// The Windows programs as built here: linked statically (a machine that runs the component has
// no mingw runtime DLLs) and with the posix thread model (std::thread and std::mutex work).
#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

namespace {

TEST(Toolchain, NoRuntimeLibraryIsLoaded) {
    const wchar_t* runtimes[] = {L"libstdc++-6.dll", L"libgcc_s_seh-1.dll", L"libgcc_s_dw2-1.dll",
                                 L"libwinpthread-1.dll"};
    for (const wchar_t* runtime : runtimes) {
        EXPECT_EQ(GetModuleHandleW(runtime), nullptr)
            << "loaded: " << testing::PrintToString(runtime);
    }
}

TEST(Toolchain, StandardThreadsShareOneLock) {
    std::shared_mutex lock;
    long total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                const std::unique_lock guard(lock);
                ++total;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(total, 4000);
}

} // namespace
