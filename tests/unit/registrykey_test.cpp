// RegistryKey over a registry held in memory: when opening creates, which key a holder keeps,
// and the last-error code across closing. The live registry is registrykey_test's in
// tests/windows.
#include "support/fakeregistry.h"
#include "utility/platform/registrykey.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using test::FakeRegistry;

TEST(RegistryKey, OpenCreatesOnlyWhenTheAccessMaskAllowsCreatingSubkeys) {
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

// A key already held is closed only once the new one is obtained; closing keeps the thread's
// last-error code.
TEST(RegistryKey, HoldsOneKeyAndReleasesItKeepingTheLastError) {
    FakeRegistry registry;
    registry.AddKey(HKEY_LOCAL_MACHINE, u"Software\\First");
    registry.AddKey(HKEY_LOCAL_MACHINE, u"Software\\Other");
    {
        RegistryKey key(registry);
        ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, u"software\\first", KEY_READ));
        const HKEY first = key.Get();
        EXPECT_FALSE(key.Open(HKEY_LOCAL_MACHINE, u"Software\\Missing", KEY_READ));
        EXPECT_EQ(key.Get(), first);
        EXPECT_TRUE(key.Open(HKEY_LOCAL_MACHINE, u"Software\\Other", KEY_READ));
        EXPECT_NE(key.Get(), first);
        EXPECT_EQ(registry.OpenHandles(), 1u);
        EXPECT_TRUE(
            key.Create(HKEY_LOCAL_MACHINE, u"Software\\New", REG_OPTION_NON_VOLATILE, KEY_READ));
        EXPECT_TRUE(registry.HasKey(HKEY_LOCAL_MACHINE, u"Software\\New"));
        EXPECT_EQ(registry.OpenHandles(), 1u);
        SetLastError(ERROR_BAD_FORMAT);
        key.Close();
        EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
        EXPECT_FALSE(key.IsOpen());
        EXPECT_EQ(registry.OpenHandles(), 0u);
        EXPECT_TRUE(key.Open(HKEY_LOCAL_MACHINE, u"Software\\First", KEY_READ));
    }
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

} // namespace
} // namespace tarn
