#include "utility/platform/registrykey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

// Each test writes its values under a key of its own in the prefix's registry and removes
// it afterwards.
class LiveRegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = L"Software\\TarnTests\\RegistryKey-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }

    void Set(const wchar_t* name, DWORD type, const void* data, std::size_t size) {
        ASSERT_EQ(RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }

    RegistryKey Open(const std::wstring& subKey, REGSAM access) {
        RegistryKey key;
        key.Open(HKEY_CURRENT_USER, U16((path_ + subKey).c_str()), access);
        return key;
    }

    std::wstring path_;
    HKEY key_ = nullptr;
};

TEST_F(LiveRegistryKeyTest, ReadsTheValuesTheTestWrote) {
    const DWORD allOnes = 4294967295u;
    Set(L"AllOnes", REG_DWORD, &allOnes, sizeof(allOnes));
    Set(L"Twelve", REG_SZ, L"12", sizeof(L"12"));
    Set(L"Letters", REG_SZ, L"abc", sizeof(L"abc"));
    Set(L"NoStrings", REG_MULTI_SZ, L"", 0);
    Set(L"Expand", REG_EXPAND_SZ, L"%TARN_REGISTRY_TEST%\\sub",
        sizeof(L"%TARN_REGISTRY_TEST%\\sub"));
    SetEnvironmentVariableW(L"TARN_REGISTRY_TEST", L"C:\\tarn dir");
    RegistryKey key = Open(L"", KEY_READ);
    ASSERT_TRUE(key.IsOpen());

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
}

TEST_F(LiveRegistryKeyTest, OpenForReadingDoesNotCreateAMissingKey) {
    EXPECT_FALSE(Open(L"\\Missing", KEY_READ).IsOpen());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(Open(L"\\Missing", KEY_READ).IsOpen());

    EXPECT_TRUE(Open(L"\\Missing", KEY_READ | KEY_CREATE_SUB_KEY).IsOpen());
    EXPECT_TRUE(Open(L"\\Missing", KEY_READ).IsOpen());
}

} // namespace
} // namespace tarn
