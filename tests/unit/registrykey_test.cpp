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
    }

    RegistryKey OpenTestKey() {
        RegistryKey key(registry_);
        EXPECT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ));
        return key;
    }

    void Set(DWORD type, FakeRegistry::Bytes data) {
        registry_.SetValue(HKEY_LOCAL_MACHINE, kKey, u"Value", type, std::move(data));
    }

    FakeRegistry registry_;
};

struct StringCase {
    const char* name;
    DWORD type;
    FakeRegistry::Bytes data;
    int maxLength;
    bool succeeds;
    std::u16string text;
    DWORD error;
};

TEST_F(RegistryKeyTest, QueryStringConvertsByType) {
    const std::u16string longText(300, u'x');
    const StringCase cases[] = {
        {"dword all ones", REG_DWORD, FakeRegistry::Number(4294967295u), -1, true, u"-1", 0},
        {"dword", REG_DWORD, FakeRegistry::Number(12), -1, true, u"12", 0},
        {"binary of 4 bytes", REG_BINARY, {0x2A, 0, 0, 0}, -1, true, u"42", 0},
        {"binary of 3 bytes", REG_BINARY, {1, 2, 3}, -1, false, u"", ERROR_INVALID_DATA},
        {"dword of 8 bytes",
         REG_DWORD,
         {1, 0, 0, 0, 0, 0, 0, 0},
         -1,
         false,
         u"",
         ERROR_INVALID_DATA},
        {"qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, -1, false, u"", ERROR_INVALID_DATA},
        {"multi string", REG_MULTI_SZ, FakeRegistry::Raw(u"a\0\0"s), -1, false, u"",
         ERROR_INVALID_DATA},
        {"string", REG_SZ, FakeRegistry::Text(u"hello"), -1, true, u"hello", 0},
        {"string without NUL", REG_SZ, FakeRegistry::Raw(u"abc"), -1, true, u"abc", 0},
        {"string cut at first NUL", REG_SZ, FakeRegistry::Raw(u"ab\0cd"s), -1, true, u"ab", 0},
        {"string of odd size", REG_SZ, {'a', 0, 'b'}, -1, true, u"a", 0},
        {"no data", REG_SZ, {}, -1, true, u"", 0},
        {"longer than first read", REG_SZ, FakeRegistry::Text(longText), -1, true, longText, 0},
        {"expandable", REG_EXPAND_SZ, FakeRegistry::Text(u"%TarnDir%\\bin"), -1, true,
         u"C:\\Tarn\\bin", 0},
        {"expandable, unknown variable", REG_EXPAND_SZ, FakeRegistry::Text(u"%Nope%\\x"), -1, true,
         u"%Nope%\\x", 0},
        {"expandable and long", REG_EXPAND_SZ, FakeRegistry::Text(longText + u"%TARNDIR%"), -1,
         true, longText + u"C:\\Tarn", 0},
        {"cut to maximum", REG_SZ, FakeRegistry::Text(u"abcdef"), 3, true, u"abc", 0},
        {"padded to maximum", REG_SZ, FakeRegistry::Text(u"ab"), 5, true, u"ab\0\0\0"s, 0},
        {"maximum zero", REG_SZ, FakeRegistry::Text(u"ab"), 0, true, u"", 0},
        {"number cut to maximum", REG_DWORD, FakeRegistry::Number(4294967295u), 1, true, u"-", 0},
        {"expanded, then cut", REG_EXPAND_SZ, FakeRegistry::Text(u"%TARNDIR%"), 4, true, u"C:\\T",
         0},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.name);
        Set(c.type, c.data);
        RegistryKey key = OpenTestKey();
        std::u16string text = u"untouched";
        SetLastError(0);
        EXPECT_EQ(key.QueryString(u"Value", text, c.maxLength), c.succeeds);
        if (c.succeeds) {
            EXPECT_EQ(text, c.text);
        } else {
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(text, u"untouched");
        }
    }
}

TEST_F(RegistryKeyTest, QueryStringReadsFirstInto512BytesAndRereadsAtTheReportedSize) {
    const struct {
        const char* name;
        std::size_t characters; // with the NUL
        std::vector<DWORD> capacities;
    } cases[] = {
        {"fits", 256, {512}},
        {"one character more", 257, {512, 514}},
        {"much larger", 2000, {512, 4000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string text(c.characters - 1, u'y');
        Set(REG_SZ, FakeRegistry::Text(text));
        FakeRegistry registry = registry_;
        RegistryKey key(registry);
        ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ));
        std::u16string read;
        EXPECT_TRUE(key.QueryString(u"Value", read));
        EXPECT_EQ(read, text);
        EXPECT_EQ(registry.QueryCapacities(), c.capacities);
    }
}

TEST_F(RegistryKeyTest, FailuresLeaveTheRegistryStatus) {
    RegistryKey key = OpenTestKey();
    std::u16string text;
    EXPECT_FALSE(key.QueryString(u"Missing", text));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    DWORD number = 0;
    EXPECT_FALSE(key.QueryDword(u"Missing", number));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    RegistryKey closed(registry_);
    EXPECT_FALSE(closed.QueryString(u"Value", text));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // A failed expansion keeps the unexpanded text.
    Set(REG_EXPAND_SZ, FakeRegistry::Text(u"%TARNDIR%\\x"));
    registry_.FailExpansion(ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(key.QueryString(u"Value", text, 40));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(text, u"%TARNDIR%\\x");
}

TEST_F(RegistryKeyTest, QueryDwordConvertsByType) {
    const struct {
        const char* name;
        DWORD type;
        FakeRegistry::Bytes data;
        bool succeeds;
        DWORD number;
        DWORD error;
    } cases[] = {
        {"dword", REG_DWORD, FakeRegistry::Number(7), true, 7, 0},
        {"binary of 4 bytes", REG_BINARY, {1, 1, 0, 0}, true, 257, 0},
        {"string", REG_SZ, FakeRegistry::Text(u"12"), true, 12, 0},
        {"negative string", REG_SZ, FakeRegistry::Text(u" -5"), true, 0xFFFFFFFBu, 0},
        {"string with trailing letters", REG_SZ, FakeRegistry::Text(u"12abc"), true, 12, 0},
        {"string wrapping like scanf", REG_SZ, FakeRegistry::Text(u"4294967297"), true, 1, 0},
        {"hexadecimal string", REG_SZ, FakeRegistry::Text(u"0x10"), true, 0, 0},
        {"long string", REG_SZ, FakeRegistry::Text(std::u16string(400, u' ') + u"31"), true, 31, 0},
        {"expandable", REG_EXPAND_SZ, FakeRegistry::Text(u"%N%"), true, 34, 0},
        {"letters", REG_SZ, FakeRegistry::Text(u"abc"), false, 0, ERROR_INVALID_DATA},
        {"empty string", REG_SZ, FakeRegistry::Text(u""), false, 0, ERROR_INVALID_DATA},
        {"sign only", REG_SZ, FakeRegistry::Text(u"-"), false, 0, ERROR_INVALID_DATA},
        {"binary of 2 bytes", REG_BINARY, {1, 0}, false, 0, ERROR_INVALID_DATA},
        {"multi string", REG_MULTI_SZ, FakeRegistry::Raw(u"5\0\0"s), false, 0, ERROR_INVALID_DATA},
        {"qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, false, 0, ERROR_INVALID_DATA},
    };
    registry_.SetEnvironment(u"N", u"34");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Set(c.type, c.data);
        RegistryKey key = OpenTestKey();
        DWORD number = 0xDEADBEEF;
        SetLastError(0);
        EXPECT_EQ(key.QueryDword(u"Value", number), c.succeeds);
        EXPECT_EQ(number, c.succeeds ? c.number : 0xDEADBEEF);
        if (!c.succeeds) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

TEST_F(RegistryKeyTest, QueryMultiStringSplitsAndAppends) {
    const std::u16string longItem(300, u'z');
    const struct {
        const char* name;
        DWORD type;
        FakeRegistry::Bytes data;
        bool succeeds;
        std::vector<std::u16string> appended;
    } cases[] = {
        {"two strings", REG_MULTI_SZ, FakeRegistry::Raw(u"a\0bb\0\0"s), true, {u"a", u"bb"}},
        {"only the terminator", REG_MULTI_SZ, FakeRegistry::Raw(u"\0"s), true, {u""}},
        {"no data", REG_MULTI_SZ, {}, true, {u""}},
        {"stops at the first empty string",
         REG_MULTI_SZ,
         FakeRegistry::Raw(u"a\0\0b\0\0"s),
         true,
         {u"a"}},
        {"unterminated", REG_MULTI_SZ, FakeRegistry::Raw(u"a\0b"s), true, {u"a", u"b"}},
        {"longer than first read",
         REG_MULTI_SZ,
         FakeRegistry::Raw(longItem + u'\0' + longItem + u'\0' + u'\0'),
         true,
         {longItem, longItem}},
        {"string", REG_SZ, FakeRegistry::Text(u"x"), true, {u"x"}},
        {"empty string", REG_SZ, FakeRegistry::Text(u""), true, {u""}},
        {"expandable", REG_EXPAND_SZ, FakeRegistry::Text(u"x"), false, {}},
        {"dword", REG_DWORD, FakeRegistry::Number(1), false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Set(c.type, c.data);
        RegistryKey key = OpenTestKey();
        std::vector<std::u16string> list = {u"kept"};
        EXPECT_EQ(key.QueryMultiString(u"Value", list), c.succeeds);
        std::vector<std::u16string> expected = {u"kept"};
        expected.insert(expected.end(), c.appended.begin(), c.appended.end());
        EXPECT_EQ(list, expected);
        if (!c.succeeds) {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
        }
    }
}

TEST_F(RegistryKeyTest, OpenCreatesOnlyWhenTheAccessMaskAllowsCreatingSubkeys) {
    const struct {
        const char* name;
        REGSAM access;
        bool succeeds;
    } cases[] = {
        {"read", KEY_READ, false},
        {"query value", KEY_QUERY_VALUE, false},
        {"read and create subkey", KEY_READ | KEY_CREATE_SUB_KEY, true},
        {"write", KEY_WRITE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRegistry registry;
        RegistryKey key(registry);
        SetLastError(0);
        EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, u"Software\\Missing", c.access), c.succeeds);
        EXPECT_EQ(key.IsOpen(), c.succeeds);
        EXPECT_EQ(registry.HasKey(HKEY_LOCAL_MACHINE, u"Software\\Missing"), c.succeeds);
        if (!c.succeeds) {
            EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
        }
    }
}

TEST_F(RegistryKeyTest, ReopeningReplacesTheKeyOnlyWhenTheNewOneOpens) {
    Set(REG_SZ, FakeRegistry::Text(u"first"));
    registry_.SetValue(HKEY_LOCAL_MACHINE, u"Software\\Other", u"Value", REG_SZ,
                       FakeRegistry::Text(u"second"));
    RegistryKey key = OpenTestKey();
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
        RegistryKey key = OpenTestKey();
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
