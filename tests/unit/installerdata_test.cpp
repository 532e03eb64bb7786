// The installer of an offline image over Wine registry text: products of one upgrade family
// installed per machine and per user, their properties, components and an advertised shortcut,
// asked through msi.dll's contracts (codes, counts, buffers).
#include "machine/image/installerdata.h"
#include "support/linkbuilder.h"

#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <unistd.h>

namespace tarn::image {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kUser[] = u"S-1-5-21-0-0-0-1000";
constexpr char16_t kMachine1[] = u"{AAAAAAAA-0000-0000-0000-000000000001}";
constexpr char16_t kMachine2[] = u"{AAAAAAAA-0000-0000-0000-000000000002}";
constexpr char16_t kPerUser[] = u"{AAAAAAAA-0000-0000-0000-000000000003}";
constexpr char16_t kComponent[] = u"{CCCCCCCC-0000-0000-0000-00000000000C}";

// HKEY_LOCAL_MACHINE; packed codes: AAAAAAAA0000000000000000000000n0 (products),
// 87654321CBA90FED21436587A9CBED0F (upgrade), CCCCCCCC0000000000000000000000C0 (component).
constexpr char kSystemReg[] = R"(WINE REGISTRY Version 2

[Software\\Classes\\Installer\\Products\\AAAAAAAA000000000000000000000010]
"ProductName"="Agent One"
"Language"=dword:00000409
"PackageCode"="87654321CBA90FED21436587A9CBED0F"

[Software\\Classes\\Installer\\Products\\AAAAAAAA000000000000000000000020]
"ProductName"="Agent Two"
"PackageCode"="broken"

[Software\\Classes\\Installer\\UpgradeCodes\\87654321CBA90FED21436587A9CBED0F]
"AAAAAAAA000000000000000000000020"=""
"AAAAAAAA000000000000000000000010"=""

[Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\AAAAAAAA000000000000000000000010\\InstallProperties]
"DisplayName"="Agent One"
"DisplayVersion"="1.0.0"
"WindowsInstaller"=dword:00000001

[Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\AAAAAAAA000000000000000000000020\\InstallProperties]
"DisplayVersion"="2.0.10"
"WindowsInstaller"=dword:00000001

[Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\CCCCCCCC0000000000000000000000C0]
"AAAAAAAA000000000000000000000010"="C:\\Program Files\\Agent\\agent.exe"
"AAAAAAAA000000000000000000000020"="C:\\Program Files\\Agent\\gone.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-21-0-0-0-1000\\Products\\AAAAAAAA000000000000000000000030\\InstallProperties]
"DisplayVersion"="3.0.0"
)";

constexpr char kUserReg[] = R"(WINE REGISTRY Version 2

[Software\\Microsoft\\Installer\\Products\\AAAAAAAA000000000000000000000030]
"ProductName"="Agent Three"
)";

class FakeFiles final : public ImageFiles {
public:
    std::map<std::u16string, std::vector<std::uint8_t>> files;

    std::optional<fs::path> Resolve(std::u16string_view windowsPath) const override {
        return files.contains(std::u16string(windowsPath)) ? std::optional(fs::path("/image"))
                                                           : std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> Read(std::u16string_view windowsPath,
                                                  std::size_t limit) const override {
        const auto found = files.find(std::u16string(windowsPath));
        if (found == files.end()) {
            return std::nullopt;
        }
        return std::vector<std::uint8_t>(
            found->second.begin(), found->second.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                               limit, found->second.size())));
    }
};

// A shell link whose only content is a Darwin block holding `descriptor`.
std::vector<std::uint8_t> AdvertisedLink(const std::string& descriptor) {
    return test::Link("", "", descriptor);
}

using test::Pack;

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarn-installer-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        std::ofstream(folder_ / "system.reg") << kSystemReg;
        std::ofstream(folder_ / "user.reg") << kUserReg;
        std::string error;
        std::unique_ptr<Hive> machine = OpenRegTextFile(folder_ / "system.reg", error);
        std::unique_ptr<Hive> user = OpenRegTextFile(folder_ / "user.reg", error);
        ASSERT_TRUE(machine && user) << error;
        registry_ = ImageRegistry::FromMachineHive(std::move(machine));
        registry_->AddUser({kUser, u"tester", u"C:\\users\\tester"}, std::move(user));
        files_.files[u"C:\\Program Files\\Agent\\agent.exe"] = {'M', 'Z'};
        msi_ = OpenImageInstaller(*registry_, files_, kUser);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path folder_;
    std::unique_ptr<ImageRegistry> registry_;
    FakeFiles files_;
    std::unique_ptr<InstallerLibrary> msi_;
};

TEST_F(Installer, ProductInfo) {
    const struct {
        const char16_t* product;
        const char16_t* property;
        UINT answer;
        std::u16string value;
    } cases[] = {
        {kMachine1, u"ProductName", ERROR_SUCCESS, u"Agent One"},
        {u"{aaaaaaaa-0000-0000-0000-000000000001}", u"VersionString", ERROR_SUCCESS, u"1.0.0"},
        {kMachine1, u"InstalledProductName", ERROR_SUCCESS, u"Agent One"},
        {kMachine1, u"Language", ERROR_SUCCESS, u"1033"},
        {kMachine1, u"PackageCode", ERROR_SUCCESS, u"{12345678-9ABC-DEF0-1234-56789ABCDEF0}"},
        {kMachine1, u"Publisher", ERROR_SUCCESS, u""},
        {kMachine2, u"VersionString", ERROR_SUCCESS, u"2.0.10"},
        {kMachine2, u"PackageCode", ERROR_BAD_CONFIGURATION, u""},
        {kPerUser, u"ProductName", ERROR_SUCCESS, u"Agent Three"},
        {kPerUser, u"VersionString", ERROR_SUCCESS, u"3.0.0"},
        {u"{AAAAAAAA-0000-0000-0000-000000000009}", u"ProductName", ERROR_UNKNOWN_PRODUCT, u""},
        {u"{AAAAAAAA-0000-0000-0000-000000000009}", u"VersionString", ERROR_UNKNOWN_PRODUCT, u""},
        {kMachine1, u"productname", 1608, u""},
        {kMachine1, u"NoSuchProperty", 1608, u""},
        {u"AAAAAAAA-0000-0000-0000-000000000001", u"ProductName", ERROR_INVALID_PARAMETER, u""},
        {u"{AAAAAAAA-0000-0000-0000-00000000000G}", u"ProductName", ERROR_INVALID_PARAMETER, u""},
        {u"{AAAAAAAA-0000-0000-0000-000000000001}x", u"ProductName", ERROR_INVALID_PARAMETER, u""},
    };
    for (const auto& c : cases) {
        char16_t value[64] = {u'?'};
        DWORD count = 64;
        EXPECT_EQ(msi_->GetProductInfo(c.product, c.property, value, &count), c.answer)
            << Utf16ToUtf8(c.product) << " " << Utf16ToUtf8(c.property);
        if (c.answer == ERROR_SUCCESS) {
            EXPECT_EQ(std::u16string(value), c.value) << Utf16ToUtf8(c.property);
            EXPECT_EQ(count, c.value.size());
        }
    }
}

TEST_F(Installer, ProductInfoCounts) {
    // Known product, no buffer: only "is it installed?".
    EXPECT_EQ(msi_->GetProductInfo(kMachine1, u"ProductName", nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(msi_->GetProductInfo(kPerUser, u"ProductName", nullptr, nullptr), ERROR_SUCCESS);
    DWORD count = 0;
    EXPECT_EQ(msi_->GetProductInfo(kMachine1, u"ProductName", nullptr, &count), ERROR_SUCCESS);
    EXPECT_EQ(count, 9u);
    char16_t value[9] = {u'?', u'?'};
    count = 9; // no room for the terminator
    EXPECT_EQ(msi_->GetProductInfo(kMachine1, u"ProductName", value, &count), ERROR_MORE_DATA);
    EXPECT_EQ(count, 9u);
    EXPECT_EQ(value[0], u'?') << "nothing written when it does not fit";
    count = 10;
    char16_t exact[10] = {};
    EXPECT_EQ(msi_->GetProductInfo(kMachine1, u"ProductName", exact, &count), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(exact), u"Agent One");
    EXPECT_EQ(msi_->GetProductInfo(kMachine1, u"ProductName", exact, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(msi_->GetProductInfo(nullptr, u"ProductName", nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(Installer, RelatedProductsOfTheMachineInStoredOrder) {
    std::vector<std::u16string> found;
    for (DWORD index = 0;; ++index) {
        GuidBuffer code = {};
        const UINT answer =
            msi_->EnumRelatedProducts(u"{12345678-9abc-def0-1234-56789abcdef0}", 0, index, code);
        if (answer != ERROR_SUCCESS) {
            EXPECT_EQ(answer, ERROR_NO_MORE_ITEMS);
            break;
        }
        found.emplace_back(code);
    }
    // Wine's order: value names sorted without case; the per-user product is not listed.
    EXPECT_EQ(found, (std::vector<std::u16string>{kMachine1, kMachine2}));
    GuidBuffer code = {};
    EXPECT_EQ(msi_->EnumRelatedProducts(u"{12345678-9ABC-DEF0-1234-56789ABCDEF1}", 0, 0, code),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(msi_->EnumRelatedProducts(u"not a code", 0, 0, code), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(msi_->EnumRelatedProducts(nullptr, 0, 0, code), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(msi_->Has("MsiEnumRelatedProductsW") && msi_->Has("MsiGetProductInfoW") &&
                msi_->Has("MsiGetShortcutTargetW") && msi_->Has("MsiGetComponentPathW"));
    EXPECT_FALSE(msi_->Has("MsiQueryProductStateW"));
}

TEST_F(Installer, ComponentPaths) {
    const struct {
        const char16_t* product;
        const char16_t* component;
        int state;
        std::u16string path;
    } cases[] = {
        {kMachine1, kComponent, 3, u"C:\\Program Files\\Agent\\agent.exe"},
        {kMachine2, kComponent, 2, u"C:\\Program Files\\Agent\\gone.exe"},
        {kPerUser, kComponent, -1, u""}, // the component has no path for the product
        {kMachine1, u"{CCCCCCCC-0000-0000-0000-00000000000D}", -1, u""},
        {kMachine1, u"CCCCCCCC", -2, u""},
    };
    for (const auto& c : cases) {
        char16_t path[64] = {};
        DWORD count = 64;
        EXPECT_EQ(msi_->GetComponentPath(c.product, c.component, path, &count), c.state)
            << Utf16ToUtf8(c.product);
        if (c.state >= 2) {
            EXPECT_EQ(std::u16string(path), c.path);
        }
    }
    char16_t shortPath[4] = {u'?', u'?', u'?', u'?'};
    DWORD count = 4;
    EXPECT_EQ(msi_->GetComponentPath(kMachine1, kComponent, shortPath, &count), -3);
    EXPECT_EQ(std::u16string(shortPath), u"C:\\");
    EXPECT_EQ(count, 32u);
    count = 0;
    EXPECT_EQ(msi_->GetComponentPath(kMachine1, kComponent, nullptr, &count), -3);
    EXPECT_EQ(count, 32u);
    EXPECT_EQ(msi_->GetComponentPath(kMachine1, kComponent, nullptr, nullptr), 3);
}

TEST_F(Installer, ShortcutTargets) {
    constexpr std::uint32_t kProduct[4] = {0x22DF2E71, 0x4D376259, 0x28E328BE, 0x14462DBC};
    constexpr std::uint32_t kLinked[4] = {0xAC5B3079, 0x43267F7C, 0xF9B2A2B6, 0xB9B765D5};
    files_.files[u"C:\\a.lnk"] = AdvertisedLink(Pack(kProduct) + "Complete>" + Pack(kLinked));
    files_.files[u"C:\\b.lnk"] = AdvertisedLink(Pack(kProduct) + "Main<");
    files_.files[u"C:\\plain.lnk"] = AdvertisedLink("");
    GuidBuffer product = {}, feature = {}, component = {u'x'};
    EXPECT_EQ(msi_->GetShortcutTarget(u"C:\\a.lnk", &product, &feature, &component), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(product), u"{22DF2E71-6259-4D37-BE28-E328BC2D4614}");
    EXPECT_EQ(std::u16string(feature), u"Complete");
    EXPECT_EQ(std::u16string(component), u"{AC5B3079-7F7C-4326-B6A2-B2F9D565B7B9}");
    EXPECT_EQ(msi_->GetShortcutTarget(u"C:\\b.lnk", nullptr, &feature, &component), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(feature), u"Main");
    EXPECT_EQ(std::u16string(component), u"");
    for (const char16_t* path : {u"C:\\plain.lnk", u"C:\\missing.lnk"}) {
        EXPECT_EQ(msi_->GetShortcutTarget(path, &product, &feature, &component), 1627u);
    }
}

} // namespace
} // namespace tarn::image
