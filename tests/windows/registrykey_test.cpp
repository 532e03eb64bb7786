// RegistryKey over the live registry of the test prefix.
#include "utility/platform/registrykey.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

TEST(LiveRegistryKey, OpenForReadingDoesNotCreateAMissingKey) {
    const std::wstring path =
        L"Software\\TarnTests\\RegistryKey-" + std::to_wstring(GetCurrentProcessId());
    const auto open = [&](REGSAM access) {
        RegistryKey key;
        key.Open(HKEY_CURRENT_USER, U16(path.c_str()), access);
        return key.IsOpen();
    };
    EXPECT_FALSE(open(KEY_READ));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(open(KEY_READ));
    EXPECT_TRUE(open(KEY_READ | KEY_CREATE_SUB_KEY));
    EXPECT_TRUE(open(KEY_READ));
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

} // namespace
} // namespace tarn
