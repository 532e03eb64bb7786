// Shortcut files read from bytes the test writes: ordinary links with their link info, and
// advertised ones with the installer's packed codes; files that are cut short or lie.
#include "machine/image/shelllink.h"
#include "support/linkbuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarn::image {
namespace {

using Bytes = std::vector<std::uint8_t>;

using test::Link;
using test::Pack;

constexpr std::uint32_t kProduct[4] = {0x22DF2E71, 0x4D376259, 0x28E328BE, 0x14462DBC};
constexpr std::uint32_t kComponent[4] = {0xAC5B3079, 0x43267F7C, 0xF9B2A2B6, 0xB9B765D5};

TEST(ShellLink, OrdinaryAndAdvertisedShortcuts) {
    const std::string product = Pack(kProduct), component = Pack(kComponent);
    const struct {
        Bytes file;
        bool advertised;
        std::u16string productCode, featureId, componentCode, localPath;
    } cases[] = {
        {Link("C:\\Apps\\", "tool.exe", ""), false, u"", u"", u"", u"C:\\Apps\\tool.exe"},
        {Link("", "", product + "Complete>" + component), true,
         u"{22DF2E71-6259-4D37-BE28-E328BC2D4614}", u"Complete",
         u"{AC5B3079-7F7C-4326-B6A2-B2F9D565B7B9}", u""},
        {Link("", "", product + "Main<"), true, u"{22DF2E71-6259-4D37-BE28-E328BC2D4614}", u"Main",
         u"", u""},
        {Link("", "", "too short"), false, u"", u"", u"", u""},
    };
    for (const auto& c : cases) {
        const std::optional<ShortcutTarget> target = ReadShortcut(c.file);
        ASSERT_TRUE(target);
        EXPECT_EQ(target->advertised, c.advertised);
        EXPECT_EQ(target->productCode, c.productCode);
        EXPECT_EQ(target->featureId, c.featureId);
        EXPECT_EQ(target->componentCode, c.componentCode);
        EXPECT_EQ(target->localPath, c.localPath);
    }
}

TEST(ShellLink, FilesThatAreNotShortcuts) {
    const Bytes link = Link("C:\\Apps\\", "tool.exe", Pack(kProduct) + "F>" + Pack(kComponent));
    Bytes lying = link;
    std::memcpy(lying.data() + 0x4C + 0x10, "\xFF\xFF\xFF\x7F", 4); // base path far outside
    for (const Bytes& bad : {Bytes(), Bytes(10, 0x4C), Bytes(link.begin(), link.begin() + 0x50)}) {
        EXPECT_FALSE(ReadShortcut(bad) && ReadShortcut(bad)->advertised);
    }
    EXPECT_EQ(ReadShortcut(lying)->localPath, u"tool.exe");
    EXPECT_FALSE(UnpackGuid(u"~~~~~~~~~~~~~~~~~~~~")); // words beyond 32 bits
}

} // namespace
} // namespace tarn::image
