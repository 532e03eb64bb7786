#include "utility/platform/identity.h"
#include "utility/platform/securitypresets.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace tarn {
namespace {

TEST(TokenQuery, FirstCallMustAskForABuffer) {
    const struct {
        bool succeeded;
        DWORD error;
        std::optional<DWORD> failure;
    } cases[] = {
        {false, ERROR_INSUFFICIENT_BUFFER, std::nullopt},
        {true, ERROR_INSUFFICIENT_BUFFER, ERROR_INTERNAL_ERROR},
        {true, 0, ERROR_INTERNAL_ERROR},
        {false, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {false, ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
        {false, ERROR_MORE_DATA, ERROR_MORE_DATA},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(identity::FirstTokenQueryFailure(c.succeeded, c.error), c.failure)
            << c.succeeded << " " << c.error;
    }
}

// A SID in the binary layout: revision 1, count, big-endian authority, sub-authorities.
std::vector<unsigned char> Sid(unsigned char authority, std::initializer_list<DWORD> subs,
                               unsigned char authorityHigh = 0) {
    std::vector<unsigned char> sid{
        1, static_cast<unsigned char>(subs.size()), authorityHigh, 0, 0, 0, 0, authority};
    for (const DWORD sub : subs) {
        sid.resize(sid.size() + 4);
        std::memcpy(sid.data() + sid.size() - 4, &sub, 4);
    }
    return sid;
}

TEST(SidDecisions, LocalSystemAndLastSubAuthority) {
    const struct {
        const char* name;
        std::vector<unsigned char> sid;
        bool localSystem;
        std::optional<DWORD> last;
    } cases[] = {
        {"S-1-5-18", Sid(5, {18}), true, 18},
        {"S-1-5-18-7", Sid(5, {18, 7}), true, 7},
        {"S-1-5-19", Sid(5, {19}), false, 19},
        {"S-1-5-21-1-2-3-18", Sid(5, {21, 1, 2, 3, 18}), false, 18},
        {"S-1-5", Sid(5, {}), false, std::nullopt},
        {"S-1-16-18", Sid(16, {18}), false, 18},
        {"NT authority with a high byte", Sid(5, {18}, 1), false, 18},
        {"S-1-16-4096", Sid(16, {4096}), false, kLowIntegrityRid},
        {"S-1-16-12288", Sid(16, {12288}), false, kHighIntegrityRid},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(identity::IsLocalSystemSid(c.sid.data()), c.localSystem) << c.name;
        EXPECT_EQ(identity::LastSubAuthority(c.sid.data()), c.last) << c.name;
    }
}

// Conversions that fail for the labels ("LW") and the medium SID, recording what they were
// asked and what they freed.
std::vector<std::u16string> asked;
std::vector<void*> freed;
unsigned char converted[kSecurityPresetCount + kPresetSidCount];

void* Convert(const char16_t* text) noexcept {
    asked.emplace_back(text);
    const std::u16string_view view(text);
    const bool fails = view.find(u"LW") != view.npos || view == u"S-1-16-8192";
    return fails ? nullptr : &converted[asked.size() - 1];
}
void Free(void* value) noexcept {
    freed.push_back(value);
}

TEST(SecurityPresets, ConvertsInOrderKeepsFailuresNullAndFreesTheRest) {
    std::vector<void*> held;
    {
        SecurityPresets presets(SecurityConversions{&Convert, &Convert, &Free});
        std::vector<std::u16string> texts(std::begin(kSecurityPresetSddl),
                                          std::end(kSecurityPresetSddl));
        texts.insert(texts.end(), std::begin(kPresetSidText), std::end(kPresetSidText));
        EXPECT_EQ(asked, texts);
        for (std::size_t i = 0; i < asked.size(); ++i) {
            void* slot = i < kSecurityPresetCount ? presets.Record(i)->lpSecurityDescriptor
                                                  : presets.Sid(i - kSecurityPresetCount);
            const bool fails = i == 8 || i == 9 || i == kSecurityPresetCount + 1;
            EXPECT_EQ(slot, fails ? nullptr : &converted[i]) << i;
            if (!fails) {
                held.push_back(slot);
            }
        }
        EXPECT_EQ(presets.Record(0)->nLength, sizeof(SECURITY_ATTRIBUTES));
        EXPECT_TRUE(freed.empty());
    }
    EXPECT_EQ(freed, held);
}

TEST(IdentityWithoutWindows, RootIsTheSystemAndNothingImpersonates) {
    EXPECT_EQ(IsRunningAsLocalSystem(), geteuid() == 0);
    DWORD rid = 7;
    EXPECT_FALSE(GetProcessIntegrityLevel(rid));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(rid, 7u);
    EXPECT_FALSE(IsLowIntegrityProcess());
    const ImpersonationSuspender suspender;
    EXPECT_FALSE(suspender.Suspended());
    EXPECT_EQ(SecurityPresets::Instance().EveryoneFullAccess()->lpSecurityDescriptor, nullptr);
}

} // namespace
} // namespace tarn
