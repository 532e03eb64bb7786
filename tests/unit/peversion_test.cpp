// Version resources read from the bytes of PE images the test builds: the resource, its fixed
// record and translation table, and images that are cut short or lie about their sizes.
#include "machine/image/peversion.h"
#include "support/pebuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn::image {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::Put;

Bytes VersionInfo(bool translated) {
    return test::VersionInfoResource(translated, 0x00020005, 0x00030001);
}

Bytes Image(const Bytes& resource, std::uint16_t magic = 0x20B) {
    return test::PeImageWithResource(resource, magic);
}

TEST(PeVersion, TheResourceAndItsValues) {
    for (const std::uint16_t magic : {0x20B, 0x10B}) {
        const std::optional<Bytes> resource = VersionResource(Image(VersionInfo(true), magic));
        ASSERT_TRUE(resource) << magic;
        EXPECT_EQ(*resource, VersionInfo(true));
        const std::optional<Bytes> fixed = VersionValue(*resource, u"\\");
        ASSERT_TRUE(fixed && fixed->size() == 52);
        EXPECT_EQ((*fixed)[10], 2);
        EXPECT_EQ(VersionValue(*resource, u"\\VarFileInfo\\Translation"), (Bytes{9, 4, 0xB0, 4}));
        EXPECT_FALSE(VersionValue(*resource, u"\\StringFileInfo"));
    }
    EXPECT_FALSE(VersionValue(VersionInfo(false), u"\\VarFileInfo\\Translation"));
}

TEST(PeVersion, ImagesThatAreNotWhatTheyClaim) {
    const Bytes image = Image(VersionInfo(true));
    Bytes lying = image;
    Put(lying, 0x200 + 0x4C, 0x7FFFFFFF, 4); // a resource larger than the file
    Bytes looping = image;
    Put(looping, 0x200 + 0x18 + 20, 0x80000018, 4); // a directory that names itself
    Bytes oversized = VersionInfo(true);
    Put(oversized, 0, 0xFFFF, 2);
    for (const Bytes& bad :
         {Bytes(), Bytes(image.begin(), image.begin() + 0x220),
          Bytes(image.begin() + 1, image.end()), lying, looping, Image(VersionInfo(true), 0x999)}) {
        EXPECT_FALSE(VersionResource(bad));
    }
    EXPECT_FALSE(VersionValue(oversized, u"\\"));
    EXPECT_FALSE(VersionValue(Bytes(4, 0), u"\\"));
}

} // namespace
} // namespace tarn::image
