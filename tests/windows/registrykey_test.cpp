// RegistryKey over the live registry of the test prefix: typed reads, when opening creates,
// which key a holder keeps, and the last-error code across closing.
#include "utility/platform/registrykey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The typed reads convert as the settings readers rely on: numbers as text, text as numbers,
// expansion of REG_EXPAND_SZ, an empty list as one empty string.
TEST(LiveRegistryKey, ReadsConvertTheValuesTheTestWrote) {
    const std::wstring path =
        L"Software\\TarnTests\\Reads-" + std::to_wstring(GetCurrentProcessId());
    HKEY raw = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    const auto set = [&](const wchar_t* name, DWORD type, const void* data, std::size_t size) {
        RegSetValueExW(raw, name, 0, type, static_cast<const BYTE*>(data),
                       static_cast<DWORD>(size));
    };
    const DWORD allOnes = 4294967295u;
    set(L"AllOnes", REG_DWORD, &allOnes, sizeof(allOnes));
    set(L"Twelve", REG_SZ, L"12", sizeof(L"12"));
    set(L"Letters", REG_SZ, L"abc", sizeof(L"abc"));
    set(L"NoStrings", REG_MULTI_SZ, L"", 0);
    set(L"Expand", REG_EXPAND_SZ, L"%TARN_REGISTRY_TEST%\\sub",
        sizeof(L"%TARN_REGISTRY_TEST%\\sub"));
    RegCloseKey(raw);
    SetEnvironmentVariableW(L"TARN_REGISTRY_TEST", L"C:\\tarn dir");
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, U16(path.c_str()), KEY_READ));

    std::u16string text;
    EXPECT_TRUE(key.QueryString(u"AllOnes", text));
    EXPECT_EQ(text, u"-1");
    EXPECT_TRUE(key.QueryString(u"Expand", text));
    EXPECT_EQ(text, u"C:\\tarn dir\\sub");
    DWORD number = 0;
    EXPECT_TRUE(key.QueryDword(u"Twelve", number));
    EXPECT_EQ(number, 12u);
    EXPECT_FALSE(key.QueryDword(u"Letters", number));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    std::vector<std::u16string> list;
    EXPECT_TRUE(key.QueryMultiString(u"NoStrings", list));
    EXPECT_EQ(list, std::vector<std::u16string>{u""});
    key.Close();
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
