// RegistryKey over the live registry of the test prefix: when opening creates, which key a
// holder keeps, and the last-error code across closing.
#include "utility/platform/registrykey.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

TEST(LiveRegistryKey, OpenCreatesOnlyWhenTheAccessMaskAllowsCreatingSubkeys) {
    const std::wstring path =
        L"Software\\TarnTests\\RegistryKey-" + std::to_wstring(GetCurrentProcessId());
    const auto open = [&](REGSAM access) {
        RegistryKey key;
        SetLastError(0);
        key.Open(HKEY_CURRENT_USER, U16(path.c_str()), access);
        return key.IsOpen();
    };
    EXPECT_FALSE(open(KEY_READ));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(open(KEY_READ)) << "reading created nothing";
    EXPECT_TRUE(open(KEY_READ | KEY_CREATE_SUB_KEY));
    EXPECT_TRUE(open(KEY_READ));
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

// A key already held is closed only once the new one is obtained; closing keeps the thread's
// last-error code.
TEST(LiveRegistryKey, HoldsOneKeyAndReleasesItKeepingTheLastError) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, u"Software", KEY_READ));
    const HKEY first = key.Get();
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, u"Software\\TarnTests\\Missing", KEY_READ));
    EXPECT_EQ(key.Get(), first);
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, u"Software\\TarnTests", 0, KEY_READ));
    EXPECT_NE(key.Get(), first);
    SetLastError(ERROR_BAD_FORMAT);
    key.Close();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
    EXPECT_FALSE(key.IsOpen());
}

} // namespace
} // namespace tarn
