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
    TokenHandle noQuery = ProcessToken(TOKEN_QUERY_SOURCE);
    const struct {
        HANDLE token;
        DWORD error;
    } cases[] = {{reinterpret_cast<HANDLE>(0x1234), ERROR_INVALID_HANDLE},
                 {noQuery.Get(), ERROR_ACCESS_DENIED}};
    for (const auto& c : cases) {
        PSID everyone = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-1-0", &everyone));
        SidHolder user;
        user.AttachLocal(everyone);
        EXPECT_FALSE(QueryTokenUser(c.token, user));
        EXPECT_EQ(GetLastError(), c.error);
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
    EXPECT_NE(copy.Get(), local.Get());
    EXPECT_EQ(SidText(copy.Get()), L"S-1-5-21-1-2-3-500");

    SetLastError(1234);
    local.Clear();
    copy.Clear();
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_FALSE(local);
    EXPECT_FALSE(local.IsLocalAllocated());
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
    HANDLE second = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &second));
    token.Attach(second);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(first, &flags));
    {
        TokenHandle moved(std::move(token));
        EXPECT_FALSE(token);
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
        const SECURITY_ATTRIBUTES* record = presets.Record(i);
        EXPECT_EQ(record->nLength, sizeof(SECURITY_ATTRIBUTES));
        EXPECT_FALSE(record->bInheritHandle);
        ASSERT_NE(record->lpSecurityDescriptor, nullptr) << i;
        EXPECT_TRUE(IsValidSecurityDescriptor(record->lpSecurityDescriptor)) << i;
    }
    for (std::size_t i = 0; i < kPresetSidCount; ++i) {
        ASSERT_NE(presets.Sid(i), nullptr) << i;
        EXPECT_EQ(SidText(presets.Sid(i)), reinterpret_cast<const wchar_t*>(kPresetSidText[i]));
    }
    EXPECT_EQ(EveryoneFullAccessAttributes(), presets.Record(kEveryoneFullAccessPreset));
}

// Owner administrators and one entry giving everyone full access, as read back from `object`.
void ExpectEveryoneFullAccess(HANDLE object, SE_OBJECT_TYPE type, DWORD fullAccess) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(object, type, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(SidText(owner), L"S-1-5-32-544");
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1);
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, &entry));
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(SidText(const_cast<DWORD*>(&ace->SidStart)), L"S-1-1-0");
    // Either generic-all as written or mapped to the object's full access.
    EXPECT_TRUE((ace->Mask & GENERIC_ALL) != 0 || (ace->Mask & fullAccess) == fullAccess)
        << std::hex << ace->Mask;
    LocalFree(descriptor);
}

TEST(SecurityPresets, EveryoneFullAccessOnANamedMutex) {
    const std::wstring name =
        L"Global\\Kpx_identity_test_" + std::to_wstring(GetCurrentProcessId());
    TokenHandle mutex(CreateMutexW(EveryoneFullAccessAttributes(), FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    ExpectEveryoneFullAccess(mutex.Get(), SE_KERNEL_OBJECT, MUTEX_ALL_ACCESS);
    TokenHandle opened(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str()));
    EXPECT_TRUE(opened);
}

// Wine does not keep the descriptor given to a new file: it answers one made from the Unix
// permissions. So only the creation with the record is checked here.
TEST(SecurityPresets, EveryoneFullAccessCreatesAFile) {
    wchar_t directory[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, directory), 0u);
    const std::wstring path =
        std::wstring(directory) + L"identity_test_" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, EveryoneFullAccessAttributes(),
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

TEST_F(Impersonation, ComesBackWhenTheScopeEndsByAnException) {
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    const std::optional<LONGLONG> before = ThreadTokenId();
    try {
        const ImpersonationSuspender suspender;
        EXPECT_FALSE(ThreadTokenId());
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(ThreadTokenId(), before);
}

TEST_F(Impersonation, AThreadThatDoesNotImpersonateIsLeftAlone) {
    {
        const ImpersonationSuspender suspender;
        EXPECT_FALSE(suspender.Suspended());
    }
    EXPECT_FALSE(ThreadTokenId());
}

} // namespace
} // namespace tarn
