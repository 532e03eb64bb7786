// Shortcut files read from bytes the test writes: ordinary links with their link info, and
// advertised ones with the installer's packed codes; files that are cut short or lie.
#include "machine/image/shelllink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarn::image {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t value, std::size_t size) {
    const std::size_t at = b.size();
    b.resize(at + size);
    std::memcpy(b.data() + at, &value, size);
}

// The packed form of a GUID's memory image, the inverse of UnpackGuid.
std::string Pack(const std::uint32_t (&words)[4]) {
    static const char digits[] =
        "!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~";
    std::string packed;
    for (std::uint32_t word : words) {
        for (int d = 0; d < 5; ++d, word /= 85) {
            packed += digits[word % 85];
        }
    }
    return packed;
}

// A link: header with flags, optional link info (local base path + suffix, ANSI), optional
// Darwin block with `descriptor` in both forms, terminal block.
Bytes Link(const std::string& base, const std::string& suffix, const std::string& descriptor) {
    Bytes b;
    Put(b, 0x4C, 4);
    b.resize(0x14);
    Put(b, (base.empty() ? 0 : 0x2) | (descriptor.empty() ? 0 : 0x1000) | 0x80, 4);
    b.resize(0x4C);
    if (!base.empty()) {
        const std::uint32_t baseAt = 0x1C,
                            suffixAt = baseAt + static_cast<std::uint32_t>(base.size()) + 1;
        Put(b, suffixAt + static_cast<std::uint32_t>(suffix.size()) + 1, 4);
        for (const std::uint32_t v : {0x1Cu, 1u, 0u, baseAt, 0u, suffixAt}) {
            Put(b, v, 4);
        }
        b.insert(b.end(), base.begin(), base.end());
        b.push_back(0);
        b.insert(b.end(), suffix.begin(), suffix.end());
        b.push_back(0);
    }
    if (!descriptor.empty()) {
        Put(b, 0x314, 4);
        Put(b, 0xA0000006, 4);
        Bytes ansi(260), wide(520);
        std::memcpy(ansi.data(), descriptor.data(), descriptor.size());
        for (std::size_t i = 0; i < descriptor.size(); ++i) {
            wide[i * 2] = static_cast<std::uint8_t>(descriptor[i]);
        }
        b.insert(b.end(), ansi.begin(), ansi.end());
        b.insert(b.end(), wide.begin(), wide.end());
    }
    Put(b, 0, 4);
    return b;
}

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
