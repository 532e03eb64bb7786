// The registry of an offline image: the same keys asked of a Wine machine hive (text) and of a
// Windows volume's SOFTWARE and SYSTEM hives (real format, built here with hivex), through both
// views; broken hive files; image folders of both kinds built in a temporary folder.
#include "machine/image/registry.h"

#include "image/hivebuilder.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace tarn::image {
namespace {

namespace fs = std::filesystem;

// A REG_LINK value naming `target` as Wine writes it.
std::string LinkLine(std::string_view target) {
    std::string line = "\"SymbolicLinkValue\"=hex(6):";
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : target) {
        line += {kHex[(c >> 4) & 0xF], kHex[c & 0xF], ',', '0', '0', ','};
    }
    line.pop_back();
    return line + "\n";
}

constexpr char kHeader[] = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";

// Keys of the SOFTWARE hive, below its root.
constexpr char kSoftware[] = R"(
[Orvanta\\Agent]
@="default"
"InstallDir"="C:\\Program Files\\Orvanta"
"Count"=dword:0000002a

[Wow6432Node\\Orvanta\\Agent]
"InstallDir"="C:\\Program Files (x86)\\Orvanta"

[Classes\\CLSID\\{00000000-0000-0000-0000-00000000000A}]
@="64-bit"

[Classes\\Wow6432Node\\CLSID\\{00000000-0000-0000-0000-00000000000A}]
@="32-bit"

[Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1000]
"ProfileImagePath"="C:\\users\\tester"
)";

// Keys of the SYSTEM hive, below its root.
constexpr char kSystem[] = R"(
[ControlSet001\\Control\\ProductOptions]
"ProductType"="WinNT"

[ControlSet002\\Control\\ProductOptions]
"ProductType"="Old"

[Select]
"Current"=dword:00000001
)";

// `keys` with each key put below `root` ("Software").
std::string Below(std::string_view root, std::string keys) {
    for (std::size_t at = keys.find("\n["); at != keys.npos; at = keys.find("\n[", at + 2)) {
        keys.insert(at + 2, std::string(root) + "\\\\");
    }
    return keys;
}

// The whole of HKEY_LOCAL_MACHINE as a Wine prefix's system.reg holds it, with Wine's links.
std::string WineSystemReg() {
    return kHeader + Below("Software", kSoftware) + Below("System", kSystem) +
           "\n[Software\\\\Wow6432Node\\\\Classes]\n" +
           LinkLine("\\Registry\\Machine\\Software\\Classes\\Wow6432Node") +
           "\n[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows "
           "NT\\\\CurrentVersion\\\\ProfileList]\n" +
           LinkLine("\\Registry\\Machine\\Software\\Microsoft\\Windows "
                    "NT\\CurrentVersion\\ProfileList") +
           "\n[System\\\\CurrentControlSet]\n" +
           LinkLine("\\Registry\\Machine\\System\\ControlSet001") + "\n[Software\\\\Loop]\n" +
           LinkLine("\\Registry\\Machine\\Software\\Loop") + "\n";
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tarn-registry-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void WriteText(const fs::path& file, std::string_view text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::unique_ptr<Hive> HiveFromText(const fs::path& file, std::string_view keys) {
    std::string error;
    fs::create_directories(file.parent_path());
    EXPECT_TRUE(testing::WriteHive(RegFile::Parse(kHeader + std::string(keys)), file, error))
        << error;
    std::unique_ptr<Hive> hive = OpenHiveFile(file, error);
    EXPECT_NE(hive, nullptr) << error;
    return hive;
}

std::optional<std::u16string> Text(const std::optional<RegistryValue>& value) {
    return value ? ValueText(*value) : std::nullopt;
}

class RegistryKinds : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            WriteText(folder_.path() / "system.reg", WineSystemReg());
            std::string error;
            registry_ = ImageRegistry::FromMachineHive(
                OpenRegTextFile(folder_.path() / "system.reg", error));
        } else {
            registry_ = std::make_unique<ImageRegistry>(
                HiveFromText(folder_.path() / "SOFTWARE",
                             std::string(kSoftware) + "\n[Loop]\n" +
                                 LinkLine("\\Registry\\Machine\\Software\\Loop")),
                HiveFromText(folder_.path() / "SYSTEM", kSystem));
        }
    }

    TempFolder folder_;
    std::unique_ptr<ImageRegistry> registry_;
};

TEST_P(RegistryKinds, ValuesThroughBothViews) {
    constexpr auto kNative = RegistryView::Native;
    constexpr auto k32 = RegistryView::Wow64_32;
    const struct {
        std::u16string_view path;
        RegistryView view;
        std::u16string_view name;
        std::optional<std::u16string> text;
    } cases[] = {
        {u"SOFTWARE\\orvanta\\AGENT", kNative, u"installdir", u"C:\\Program Files\\Orvanta"},
        {u"Software\\Orvanta\\Agent", k32, u"InstallDir", u"C:\\Program Files (x86)\\Orvanta"},
        {u"\\Software\\\\Orvanta\\Agent\\", kNative, u"", u"default"},
        {u"Software\\Orvanta\\Agent", k32, u"", std::nullopt},
        {u"Software\\Wow6432Node\\Orvanta\\Agent", k32, u"InstallDir",
         u"C:\\Program Files (x86)\\Orvanta"},
        {u"Software\\Classes\\CLSID\\{00000000-0000-0000-0000-00000000000a}", kNative, u"",
         u"64-bit"},
        {u"Software\\Classes\\CLSID\\{00000000-0000-0000-0000-00000000000A}", k32, u"", u"32-bit"},
        {u"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1000", k32,
         u"ProfileImagePath", u"C:\\users\\tester"},
        {u"System\\CurrentControlSet\\Control\\ProductOptions", kNative, u"ProductType", u"WinNT"},
        {u"system\\currentcontrolset\\control\\productoptions", k32, u"producttype", u"WinNT"},
        {u"Software\\Orvanta\\Agent", kNative, u"Missing", std::nullopt},
        {u"Software\\Orvanta\\Missing", kNative, u"InstallDir", std::nullopt},
        {u"Software\\Loop\\Agent", kNative, u"InstallDir", std::nullopt},
        {u"Nowhere\\Orvanta", kNative, u"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(registry_->MachineValue(c.path, c.name, c.view)), c.text)
            << Utf16ToUtf8(c.path) << " " << Utf16ToUtf8(c.name);
    }
    const std::optional<RegistryValue> count =
        registry_->MachineValue(u"Software\\Orvanta\\Agent", u"COUNT", kNative);
    ASSERT_TRUE(count.has_value());
    EXPECT_EQ(ValueNumber(*count), 42u);
    EXPECT_EQ(ValueText(*count), std::nullopt);
    EXPECT_EQ(ValueNumber(RegistryValue{4, {1, 2}}), std::nullopt);
}

TEST_P(RegistryKinds, KeysAndSubkeys) {
    EXPECT_TRUE(registry_->MachineKeyExists(u"software\\ORVANTA", RegistryView::Native));
    EXPECT_TRUE(registry_->MachineKeyExists(u"Software\\Orvanta\\Agent", RegistryView::Wow64_32));
    EXPECT_FALSE(registry_->MachineKeyExists(u"Software\\Orvanta\\Other", RegistryView::Native));
    EXPECT_TRUE(
        registry_->MachineKeyExists(u"System\\CurrentControlSet\\Control", RegistryView::Native));
    EXPECT_FALSE(registry_->MachineKeyExists(u"Software\\Loop", RegistryView::Native));
    EXPECT_EQ(registry_->MachineSubkeys(u"software\\orvanta", RegistryView::Native),
              std::vector<std::u16string>{u"Agent"});
    EXPECT_TRUE(registry_->MachineSubkeys(u"Software\\Nothing", RegistryView::Native).empty());
    std::vector<std::u16string> sets = registry_->MachineSubkeys(u"System", RegistryView::Native);
    std::erase(sets, u"CurrentControlSet");
    std::sort(sets.begin(), sets.end());
    EXPECT_EQ(sets, (std::vector<std::u16string>{u"ControlSet001", u"ControlSet002", u"Select"}));
}

INSTANTIATE_TEST_SUITE_P(WineTextAndHiveFiles, RegistryKinds, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Wine" : "Windows"; });

TEST(RegistryHiveFile, BrokenFilesAreErrors) {
    TempFolder folder;
    const std::unique_ptr<Hive> good = HiveFromText(folder.path() / "good", kSoftware);
    ASSERT_NE(good, nullptr);
    std::ifstream in(folder.path() / "good", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string garbage(8192, 'x');
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"empty", ""},
        {"garbage", garbage},
        {"header only", bytes.substr(0, 4096)},
        {"truncated", bytes.substr(0, 4096 + 100)},
        {"bad checksum", std::string(bytes).replace(0x1FC, 1, "\x5a")},
        {"text", std::string(kHeader) + kSoftware},
    };
    for (const auto& c : cases) {
        const fs::path file = folder.path() / "broken";
        WriteText(file, c.content);
        std::string error;
        EXPECT_EQ(OpenHiveFile(file, error), nullptr) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
    std::string error;
    EXPECT_EQ(OpenHiveFile(folder.path() / "absent", error), nullptr);
    EXPECT_EQ(OpenRegTextFile(folder.path() / "good", error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST(RegistryHiveFile, ValueNamesInStoredOrder) {
    TempFolder folder;
    const std::unique_ptr<Hive> hive =
        HiveFromText(folder.path() / "h", "[Family]\n\"b\"=\"\"\n\"A\"=\"\"\n\"c\"=dword:1\n");
    ASSERT_NE(hive, nullptr);
    EXPECT_EQ(hive->ValueNames(u"FAMILY"), (std::vector<std::u16string>{u"A", u"b", u"c"}));
    EXPECT_TRUE(hive->ValueNames(u"None").empty());
}

TEST(RegistryOpen, WinePrefix) {
    TempFolder folder;
    const fs::path root = folder.path();
    WriteText(root / "system.reg", WineSystemReg());
    WriteText(root / "user.reg",
              "WINE REGISTRY Version 2\n\n[Software\\\\Orvanta]\n\"Theme\"=\"dark\"\n");
    WriteText(root / "userdef.reg",
              "WINE REGISTRY Version 2\n\n[Software\\\\Orvanta]\n\"Theme\"=\"light\"\n");
    fs::create_directories(root / "drive_c" / "users" / "Public");
    fs::create_directories(root / "drive_c" / "users" / "tester");
    std::string error;
    const std::unique_ptr<ImageRegistry> registry = ImageRegistry::Open(root, error);
    ASSERT_NE(registry, nullptr) << error;
    EXPECT_EQ(Text(registry->MachineValue(u"System\\CurrentControlSet\\Control\\ProductOptions",
                                          u"ProductType", RegistryView::Native)),
              u"WinNT");
    EXPECT_EQ(Text(registry->UserValue(u"S-1-5-21-0-0-0-1000", u"software\\orvanta", u"theme")),
              u"dark");
    EXPECT_EQ(Text(registry->UserValue(u"S-1-5-18", u"Software\\Orvanta", u"Theme")), u"light");
    EXPECT_EQ(registry->UserValue(u"S-1-5-21-9", u"Software\\Orvanta", u"Theme"), std::nullopt);
    EXPECT_TRUE(registry->UserKeyExists(u"s-1-5-18", u"Software"));
    ASSERT_EQ(registry->Users().size(), 2u);
    for (const ImageUser& user : registry->Users()) {
        if (user.sid == u"S-1-5-18") {
            EXPECT_EQ(user.profilePath, u"C:\\windows\\system32\\config\\systemprofile");
            EXPECT_EQ(user.name, u"systemprofile");
        } else {
            EXPECT_EQ(user.sid, u"S-1-5-21-0-0-0-1000");
            EXPECT_EQ(user.name, u"tester");
            EXPECT_EQ(user.profilePath, u"C:\\users\\tester");
        }
    }
}

TEST(RegistryOpen, WindowsVolume) {
    TempFolder folder;
    const fs::path root = folder.path();
    const fs::path config = root / "WINDOWS" / "system32" / "Config";
    HiveFromText(
        config / "software",
        std::string(kSoftware) +
            "\n[Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList\\\\S-1-5-21-1-2-3-1001]\n"
            "\"ProfileImagePath\"=str(2):\"%SystemDrive%\\\\Users\\\\Ann\"\n"
            "\n[Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList\\\\S-1-5-18]\n"
            "\"ProfileImagePath\"=str(2):\"%systemroot%"
            "\\\\system32\\\\config\\\\systemprofile\"\n");
    HiveFromText(config / "SYSTEM", kSystem);
    HiveFromText(config / "DEFAULT", "[Software\\\\Orvanta]\n\"Theme\"=\"light\"\n");
    HiveFromText(root / "users" / "ann" / "ntuser.dat",
                 "[Software\\\\Orvanta]\n\"Theme\"=\"dark\"\n");
    std::string error;
    const std::unique_ptr<ImageRegistry> registry = ImageRegistry::Open(root, error);
    ASSERT_NE(registry, nullptr) << error;
    EXPECT_EQ(Text(registry->MachineValue(u"Software\\Orvanta\\Agent", u"InstallDir",
                                          RegistryView::Native)),
              u"C:\\Program Files\\Orvanta");
    EXPECT_EQ(Text(registry->UserValue(u"S-1-5-21-1-2-3-1001", u"Software\\Orvanta", u"Theme")),
              u"dark");
    EXPECT_EQ(Text(registry->UserValue(u"S-1-5-18", u"Software\\Orvanta", u"Theme")), u"light");
    // The Wine user's profile is listed, but has no NTUSER.DAT: left out.
    ASSERT_EQ(registry->Users().size(), 2u);
    for (const ImageUser& user : registry->Users()) {
        if (user.sid == u"S-1-5-18") {
            EXPECT_EQ(user.profilePath, u"C:\\Windows\\system32\\config\\systemprofile");
        } else {
            EXPECT_EQ(user.name, u"Ann");
            EXPECT_EQ(user.profilePath, u"C:\\Users\\Ann");
        }
    }
}

TEST(RegistryOpen, NotAnImage) {
    TempFolder folder;
    std::string error;
    EXPECT_EQ(ImageRegistry::Open(folder.path(), error), nullptr);
    EXPECT_EQ(error, "not a Windows image: neither a Wine prefix (system.reg) nor a Windows "
                     "volume (Windows\\System32\\config\\SOFTWARE)");
    WriteText(folder.path() / "Windows" / "System32" / "config" / "SOFTWARE", "garbage");
    WriteText(folder.path() / "Windows" / "System32" / "config" / "SYSTEM", "garbage");
    error.clear();
    EXPECT_EQ(ImageRegistry::Open(folder.path(), error), nullptr);
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace tarn::image
