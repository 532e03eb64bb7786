#include "utility/platform/libraryhandle.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(LibraryHandle, LoadsFindsAndFreesKeepingTheLastError) {
    LibraryHandle kernel32;
    ASSERT_TRUE(kernel32.Load(u"kernel32.dll"));
    EXPECT_EQ(kernel32.Get(), GetModuleHandleW(L"kernel32.dll"));
    EXPECT_NE(kernel32.Find("IsWow64Process"), nullptr);
    EXPECT_EQ(kernel32.Find("NoSuchExportAnywhere"), nullptr);

    SetLastError(ERROR_BAD_FORMAT);
    kernel32.Free();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
    EXPECT_EQ(kernel32.Get(), nullptr);
    EXPECT_EQ(kernel32.Find("IsWow64Process"), nullptr);
}

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
