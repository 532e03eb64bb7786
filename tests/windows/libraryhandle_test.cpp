// What the installer tests do not show of the module holder: a failed load and loading again.
// (Loading, finding functions and freeing with the last error kept are msi_test's.)
#include "utility/platform/libraryhandle.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(LibraryHandle, FailedLoadLeavesTheLoaderError) {
    LibraryHandle module;
    EXPECT_FALSE(module.Load(u"tarn-no-such-module.dll"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(module.Get(), nullptr);
}

TEST(LibraryHandle, LoadingAgainReleasesTheModuleHeldBefore) {
    LibraryHandle module;
    ASSERT_TRUE(module.Load(u"version.dll"));
    ASSERT_NE(GetModuleHandleW(L"version.dll"), nullptr);
    ASSERT_TRUE(module.Load(u"kernel32.dll"));
    EXPECT_EQ(GetModuleHandleW(L"version.dll"), nullptr);
}

} // namespace
} // namespace tarn
