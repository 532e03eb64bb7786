// RegistryKey over a registry held in memory: conversions by value type, sizes, expansion and
// the last-error codes. The live registry is registrykey_test's in tests/windows.
#include "support/fakeregistry.h"
#include "utility/platform/registrykey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

using test::FakeRegistry;
using namespace std::string_literals;

constexpr char16_t kKey[] = u"Software\\Tarn\\Tests";

class RegistryKeyTest : public ::testing::Test {
protected:
    RegistryKeyTest() {
        registry_.AddKey(HKEY_LOCAL_MACHINE, kKey);
        registry_.SetEnvironment(u"TARNDIR", u"C:\\Tarn");
        registry_.SetEnvironment(u"N", u"34");
    }

    // The key with "Value" set as given, opened for reading.
    RegistryKey KeyWith(DWORD type, FakeRegistry::Bytes data) {
        registry_.SetValue(HKEY_LOCAL_MACHINE, kKey, u"Value", type, std::move(data));
        RegistryKey key(registry_);
        EXPECT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ));
        SetLastError(0);
        return key;
    }

    FakeRegistry registry_;
};

FakeRegistry::Bytes Text(std::u16string_view text) {
    return FakeRegistry::Text(text);
}
FakeRegistry::Bytes Raw(std::u16string_view text) {
    return FakeRegistry::Raw(text);
}

const FakeRegistry::Bytes kQword = {1, 0, 0, 0, 0, 0, 0, 0};
const std::u16string kLong(300, u'x'); // longer than the first read of 512 bytes

TEST_F(RegistryKeyTest, QueryStringConvertsByType) {
    const struct {
        DWORD type;
        FakeRegistry::Bytes data;
        int maxLength;
        std::u16string text;
        DWORD error = 0; // the read fails with it
    } cases[] = {
        {REG_DWORD, FakeRegistry::Number(4294967295u), -1, u"-1"},
        {REG_BINARY, {0x2A, 0, 0, 0}, -1, u"42"},
        {REG_BINARY, {1, 2, 3}, -1, u"", ERROR_INVALID_DATA},
        {REG_DWORD, kQword, -1, u"", ERROR_INVALID_DATA},
        {REG_QWORD, kQword, -1, u"", ERROR_INVALID_DATA},
        {REG_MULTI_SZ, Raw(u"a\0\0"s), -1, u"", ERROR_INVALID_DATA},
        {REG_SZ, Raw(u"abc"), -1, u"abc"}, // without its NUL
        {REG_SZ, Raw(u"ab\0cd"s), -1, u"ab"},
        {REG_SZ, {'a', 0, 'b'}, -1, u"a"}, // odd size
        {REG_SZ, {}, -1, u""},
        {REG_SZ, Text(kLong), -1, kLong},
        {REG_EXPAND_SZ, Text(u"%TarnDir%\\bin"), -1, u"C:\\Tarn\\bin"},
        {REG_EXPAND_SZ, Text(kLong + u"%TARNDIR%"), -1, kLong + u"C:\\Tarn"},
        {REG_SZ, Text(u"abcdef"), 3, u"abc"},
        {REG_SZ, Text(u"ab"), 5, u"ab\0\0\0"s},
        {REG_SZ, Text(u"ab"), 0, u""},
        {REG_DWORD, FakeRegistry::Number(4294967295u), 1, u"-"},
        {REG_EXPAND_SZ, Text(u"%TARNDIR%"), 4, u"C:\\T"},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(++row);
        RegistryKey key = KeyWith(c.type, c.data);
        std::u16string text = u"untouched";
        EXPECT_EQ(key.QueryString(u"Value", text, c.maxLength), c.error == 0);
        EXPECT_EQ(text, c.error == 0 ? c.text : u"untouched");
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(RegistryKeyTest, QueryDwordConvertsByType) {
    const struct {
        DWORD type;
        FakeRegistry::Bytes data;
        DWORD number;
        DWORD error = 0;
    } cases[] = {
        {REG_DWORD, FakeRegistry::Number(7), 7},
        {REG_BINARY, {1, 1, 0, 0}, 257},
        {REG_SZ, Text(u" -5"), 0xFFFFFFFBu},
        {REG_SZ, Text(u"12abc"), 12},
        {REG_SZ, Text(u"4294967297"), 1}, // wraps like scanf
        {REG_SZ, Text(u"0x10"), 0},
        {REG_SZ, Text(std::u16string(400, u' ') + u"31"), 31},
        {REG_EXPAND_SZ, Text(u"%N%"), 34},
        {REG_SZ, Text(u"abc"), 0, ERROR_INVALID_DATA},
        {REG_SZ, Text(u""), 0, ERROR_INVALID_DATA},
        {REG_SZ, Text(u"-"), 0, ERROR_INVALID_DATA},
        {REG_BINARY, {1, 0}, 0, ERROR_INVALID_DATA},
        {REG_MULTI_SZ, Raw(u"5\0\0"s), 0, ERROR_INVALID_DATA},
        {REG_QWORD, kQword, 0, ERROR_INVALID_DATA},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(++row);
        RegistryKey key = KeyWith(c.type, c.data);
        DWORD number = 0xDEADBEEF;
        EXPECT_EQ(key.QueryDword(u"Value", number), c.error == 0);
        EXPECT_EQ(number, c.error == 0 ? c.number : 0xDEADBEEF);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(RegistryKeyTest, QueryMultiStringSplitsAndAppends) {
    const struct {
        DWORD type;
        FakeRegistry::Bytes data;
        std::vector<std::u16string> appended;
        DWORD error = 0;
    } cases[] = {
        {REG_MULTI_SZ, Raw(u"a\0bb\0\0"s), {u"a", u"bb"}},
        {REG_MULTI_SZ, Raw(u"\0"s), {u""}},
        {REG_MULTI_SZ, {}, {u""}},
        {REG_MULTI_SZ, Raw(u"a\0\0b\0\0"s), {u"a"}}, // up to the first empty string
        {REG_MULTI_SZ, Raw(u"a\0b"s), {u"a", u"b"}},
        {REG_MULTI_SZ, Raw(kLong + u'\0' + kLong + u'\0' + u'\0'), {kLong, kLong}},
        {REG_SZ, Text(u"x"), {u"x"}},
        {REG_EXPAND_SZ, Text(u"x"), {}, ERROR_INVALID_DATA},
        {REG_DWORD, FakeRegistry::Number(1), {}, ERROR_INVALID_DATA},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(++row);
        RegistryKey key = KeyWith(c.type, c.data);
        std::vector<std::u16string> list = {u"kept"};
        EXPECT_EQ(key.QueryMultiString(u"Value", list), c.error == 0);
        list.erase(list.begin());
        EXPECT_EQ(list, c.appended);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(RegistryKeyTest, FailuresLeaveTheRegistryStatus) {
    RegistryKey key = KeyWith(REG_EXPAND_SZ, Text(u"%TARNDIR%\\x"));
    std::u16string text;
    EXPECT_FALSE(key.QueryString(u"Missing", text));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    DWORD number = 0;
    EXPECT_FALSE(key.QueryDword(u"Missing", number));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(RegistryKey(registry_).QueryString(u"Value", text));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    // A failed expansion keeps the unexpanded text.
    registry_.FailExpansion(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(key.QueryString(u"Value", text, 40));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(text, u"%TARNDIR%\\x");
}

TEST_F(RegistryKeyTest, OpenCreatesOnlyWhenTheAccessMaskAllowsCreatingSubkeys) {
    for (const REGSAM access :
         {KEY_READ, KEY_QUERY_VALUE, KEY_READ | KEY_CREATE_SUB_KEY, KEY_WRITE}) {
        const bool creates = (access & KEY_CREATE_SUB_KEY) != 0;
        FakeRegistry registry;
        RegistryKey key(registry);
        SetLastError(0);
        EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, u"Software\\Missing", access), creates);
        EXPECT_EQ(key.IsOpen(), creates);
        EXPECT_EQ(registry.HasKey(HKEY_LOCAL_MACHINE, u"Software\\Missing"), creates);
        EXPECT_EQ(GetLastError(), creates ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(RegistryKeyTest, ReopeningReplacesTheKeyOnlyWhenTheNewOneOpens) {
    registry_.SetValue(HKEY_LOCAL_MACHINE, u"Software\\Other", u"Value", REG_SZ, Text(u"second"));
    RegistryKey key = KeyWith(REG_SZ, Text(u"first"));
    std::u16string text;
    EXPECT_FALSE(key.Open(HKEY_LOCAL_MACHINE, u"Software\\Missing", KEY_READ));
    EXPECT_EQ(registry_.OpenHandles(), 1u);
    EXPECT_TRUE(key.QueryString(u"Value", text));
    EXPECT_EQ(text, u"first");
    EXPECT_TRUE(key.Open(HKEY_LOCAL_MACHINE, u"Software\\Other", KEY_READ));
    EXPECT_EQ(registry_.OpenHandles(), 1u);
    EXPECT_TRUE(key.QueryString(u"Value", text));
    EXPECT_EQ(text, u"second");
}

TEST_F(RegistryKeyTest, ClosingKeepsTheLastErrorAndReleasesTheKey) {
    {
        RegistryKey key = KeyWith(REG_SZ, Text(u"x"));
        EXPECT_TRUE(
            key.Create(HKEY_LOCAL_MACHINE, u"Software\\New", REG_OPTION_NON_VOLATILE, KEY_READ));
        EXPECT_TRUE(registry_.HasKey(HKEY_LOCAL_MACHINE, u"Software\\New"));
        SetLastError(ERROR_BAD_FORMAT);
        key.Close();
        EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
        EXPECT_FALSE(key.IsOpen());
        EXPECT_EQ(registry_.OpenHandles(), 0u);
        EXPECT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ));
    }
    EXPECT_EQ(registry_.OpenHandles(), 0u);
}

} // namespace
} // namespace tarn
