// Process identity, the shared security presets and lifting impersonation, on the real API.
#include "utility/platform/identity.h"
#include "utility/platform/securitypresets.h"
#include "utility/platform/sidholder.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tarn {
namespace {

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return L"<invalid>";
    }
    std::wstring result(text);
    LocalFree(text);
    return result;
}

TokenHandle ProcessToken(DWORD access) {
    TokenHandle token;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, token.Out()));
    return token;
}

// The id of the thread's impersonation token; nothing when it has none.
std::optional<LONGLONG> ThreadTokenId() {
    TokenHandle token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.Out())) {
        return std::nullopt;
    }
    TOKEN_STATISTICS statistics{};
    DWORD size = 0;
    EXPECT_TRUE(
        GetTokenInformation(token.Get(), TokenStatistics, &statistics, sizeof statistics, &size));
    return (static_cast<LONGLONG>(statistics.TokenId.HighPart) << 32) | statistics.TokenId.LowPart;
}

TEST(TokenUser, OfTheProcessIsTheUserItsThreadImpersonates) {
    SidHolder process;
    SetLastError(1234);
    ASSERT_TRUE(QueryTokenUser(ProcessToken(TOKEN_QUERY).Get(), process));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_FALSE(process.IsLocalAllocated());
    ASSERT_TRUE(IsValidSid(process.Get()));
    // Wine runs every program as S-1-5-21-0-0-0-1000.
    EXPECT_EQ(SidText(process.Get()).rfind(L"S-1-5-21-", 0), 0u) << SidText(process.Get());

    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    TokenHandle thread;
    ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, thread.Out()));
    RevertToSelf();
    SidHolder impersonated;
    ASSERT_TRUE(QueryTokenUser(thread.Get(), impersonated));
    EXPECT_TRUE(EqualSid(process.Get(), impersonated.Get()));
}

TEST(TokenUser, FailureLeavesItsCodeAndAnEmptyHolder) {
    const TokenHandle noQuery = ProcessToken(TOKEN_QUERY_SOURCE);
    for (const auto& [token, error] :
         {std::pair{reinterpret_cast<HANDLE>(0x1234), 6ul}, std::pair{noQuery.Get(), 5ul}}) {
        PSID everyone = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-1-0", &everyone));
        SidHolder user;
        user.AttachLocal(everyone);
        EXPECT_FALSE(QueryTokenUser(token, user));
        EXPECT_EQ(GetLastError(), error);
        EXPECT_FALSE(user);
    }
}

TEST(SidHolder, CopiesReleasesByItsRuleAndKeepsTheLastError) {
    PSID converted = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1-2-3-500", &converted));
    SidHolder local;
    local.AttachLocal(converted);
    EXPECT_TRUE(local.IsLocalAllocated());

    SidHolder copy;
    ASSERT_TRUE(copy.Copy(local.Get()));
    EXPECT_FALSE(copy.IsLocalAllocated());
    EXPECT_EQ(SidText(copy.Get()), L"S-1-5-21-1-2-3-500");

    SetLastError(1234);
    local.Clear();
    copy.Clear();
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_FALSE(local);
    EXPECT_FALSE(copy);

    // Nine sub-authorities are more than a SID can be allocated with.
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-1-2-3-4-5-6-7-8-9", &converted));
    local.AttachLocal(converted);
    SetLastError(0);
    EXPECT_FALSE(copy.Copy(local.Get()));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_FALSE(copy);
}

TEST(TokenHandle, ClosesWhatItHeldAndKeepsTheLastErrorWhenDestroyed) {
    TokenHandle token = ProcessToken(TOKEN_QUERY);
    const HANDLE first = token.Get();
    token = ProcessToken(TOKEN_QUERY); // opened before the first one is closed
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(first, &flags));
    const HANDLE second = token.Get();
    {
        const TokenHandle moved(std::move(token));
        SetLastError(4321);
    }
    EXPECT_EQ(GetLastError(), 4321u);
    EXPECT_FALSE(GetHandleInformation(second, &flags));
    EXPECT_TRUE(token.Close());
    TokenHandle bogus(reinterpret_cast<HANDLE>(0x1234));
    EXPECT_FALSE(bogus.Close());
    EXPECT_FALSE(bogus);
}

// Wine gives every program an elevated administrator's token.
TEST(ProcessIdentity, AnAdministratorAtHighIntegrityUnderWine) {
    EXPECT_FALSE(IsRunningAsLocalSystem());
    DWORD rid = 0;
    SetLastError(1234);
    ASSERT_TRUE(GetProcessIntegrityLevel(rid));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(rid, kHighIntegrityRid);
    EXPECT_FALSE(IsLowIntegrityProcess());
}

TEST(SecurityPresets, EveryTextConverts) {
    SecurityPresets& presets = SecurityPresets::Instance();
    for (std::size_t i = 0; i < kSecurityPresetCount; ++i) {
        void* descriptor = presets.Record(i)->lpSecurityDescriptor;
        EXPECT_TRUE(descriptor != nullptr && IsValidSecurityDescriptor(descriptor)) << i;
    }
    for (std::size_t i = 0; i < kPresetSidCount; ++i) {
        ASSERT_NE(presets.Sid(i), nullptr) << i;
        EXPECT_EQ(SidText(presets.Sid(i)), reinterpret_cast<const wchar_t*>(kPresetSidText[i]));
    }
    EXPECT_EQ(EveryoneFullAccessAttributes(), presets.Record(kEveryoneFullAccessPreset));
}

// The owner and access list of `object` in SDDL.
std::wstring OwnerAndDacl(HANDLE object, SE_OBJECT_TYPE type) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LPWSTR text = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (GetSecurityInfo(object, type, parts, nullptr, nullptr, nullptr, nullptr, &descriptor) !=
            ERROR_SUCCESS ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts,
                                                              &text, nullptr)) {
        return L"<unreadable>";
    }
    std::wstring result(text);
    LocalFree(text);
    LocalFree(descriptor);
    return result;
}

// Wine keeps a mutex's descriptor unmapped but answers a file's from the Unix permissions, so
// for the file only the creation is checked.
TEST(SecurityPresets, EveryoneFullAccessOnANamedMutexAndAFile) {
    const std::wstring name =
        L"Global\\Kpx_identity_test_" + std::to_wstring(GetCurrentProcessId());
    TokenHandle mutex(CreateMutexW(EveryoneFullAccessAttributes(), FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    EXPECT_EQ(OwnerAndDacl(mutex.Get(), SE_KERNEL_OBJECT), L"O:BAD:P(A;;0x101fffff;;;WD)");
    EXPECT_TRUE(TokenHandle(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str())));

    const HANDLE file =
        CreateFileW(L"identity_test.tmp", GENERIC_WRITE, 0, EveryoneFullAccessAttributes(),
                    CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

// Each case leaves the thread as it found it, also when an assertion fails.
class Impersonation : public testing::Test {
protected:
    void TearDown() override { RevertToSelf(); }
};

TEST_F(Impersonation, IsLiftedForTheScopeAndTheSameTokenComesBack) {
    {
        const ImpersonationSuspender idle;
        EXPECT_FALSE(idle.Suspended());
    }
    EXPECT_FALSE(ThreadTokenId());

    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    const std::optional<LONGLONG> before = ThreadTokenId();
    ASSERT_TRUE(before);
    {
        SetLastError(4321);
        const ImpersonationSuspender suspender;
        EXPECT_EQ(GetLastError(), 4321u);
        EXPECT_TRUE(suspender.Suspended());
        EXPECT_FALSE(ThreadTokenId());
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
        {
            const ImpersonationSuspender nested;
            EXPECT_FALSE(nested.Suspended());
        }
        EXPECT_FALSE(ThreadTokenId());
        SetLastError(4321);
    }
    EXPECT_EQ(GetLastError(), 4321u);
    EXPECT_EQ(ThreadTokenId(), before);
}

} // namespace
} // namespace tarn
