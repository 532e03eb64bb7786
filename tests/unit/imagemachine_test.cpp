// The machine seam answered from a Wine prefix built here: widths and views, folders and
// variables of the process's account and of an impersonated profile, the version Windows
// admits to, version resources (a 4 GB sparse file and a FIFO among them) and engines.
#include "machine/image/imagemachine.h"

#include "support/pebuilder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn::image {
namespace {

namespace fs = std::filesystem;

constexpr char kSystemReg[] = R"reg(WINE REGISTRY Version 2

[Software\\Microsoft\\Windows\\CurrentVersion]
"ProgramFilesDir"="C:\\Program Files"
"ProgramFilesDir (x86)"="C:\\Program Files (x86)"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion]
"ProgramFilesDir"="C:\\Program Files (x86)"

[Software\\Microsoft\\Windows NT\\CurrentVersion]
"CurrentMajorVersionNumber"=dword:0000000a
"CurrentMinorVersionNumber"=dword:00000000
"CurrentVersion"="6.3"
"CurrentBuildNumber"="19045"
"SystemRoot"="C:\\windows"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList]
"ProgramData"=str(2):"%SystemDrive%\\ProgramData"

[System\\CurrentControlSet\\Control\\ProductOptions]
"ProductType"="ServerNT"
"ProductSuite"=hex(7):45,00,6e,00,74,00,65,00,72,00,70,00,72,00,69,00,73,00,65,00,00,00,00,00

[System\\CurrentControlSet\\Control\\Session Manager\\Environment]
"PROCESSOR_ARCHITECTURE"="AMD64"
"windir"=str(2):"%SystemRoot%"
)reg";

constexpr char kUserReg[] = R"reg(WINE REGISTRY Version 2

[Environment]
"TEMP"=str(2):"%USERPROFILE%\\Temp"
)reg";

class ImageMachineTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tarn-image-machine-" + std::to_string(getpid()));
        fs::remove_all(root_);
        for (const char* folder :
             {"drive_c/windows/system32/drivers/etc", "drive_c/windows/syswow64",
              "drive_c/Program Files/App", "drive_c/Program Files (x86)", "drive_c/ProgramData",
              "drive_c/users/tester/AppData/Roaming", "dosdevices"}) {
            fs::create_directories(root_ / folder);
        }
        fs::create_directory_symlink("../drive_c", root_ / "dosdevices/c:");
        fs::create_directory_symlink("/", root_ / "dosdevices/z:");
        std::ofstream(root_ / "system.reg") << kSystemReg;
        std::ofstream(root_ / "user.reg") << kUserReg;
        std::ofstream(root_ / "userdef.reg") << "WINE REGISTRY Version 2\n";
        std::ofstream(root_ / "drive_c/windows/system32/only64.dll") << "MZ";
        std::ofstream(root_ / "drive_c/windows/system32/drivers/etc/hosts") << "";
        const std::vector<std::uint8_t> dll =
            test::PeImageWithResource(test::VersionInfoResource(true, 0x00020005, 0x00030001));
        std::ofstream(root_ / "drive_c/Program Files/App/app.dll", std::ios::binary)
            .write(reinterpret_cast<const char*>(dll.data()),
                   static_cast<std::streamsize>(dll.size()));
        ASSERT_EQ(mkfifo((root_ / "drive_c/Program Files/App/fifo.dll").c_str(), 0600), 0);
        std::ofstream sparse(root_ / "drive_c/Program Files/App/huge.dll", std::ios::binary);
        sparse << "MZ";
        sparse.seekp(4LL << 30);
        sparse << '\0';
    }
    void TearDown() override { fs::remove_all(root_); }

    std::unique_ptr<ImageMachine> Open(int bits, std::u16string user = u"") {
        std::string error;
        std::unique_ptr<ImageMachine> machine = ImageMachine::Open({root_, bits, user}, error);
        EXPECT_TRUE(machine) << error;
        return machine;
    }

    fs::path root_;
};

TEST_F(ImageMachineTest, WidthsChooseFoldersAndRegistryViews) {
    const struct {
        int bits;
        const char16_t* programFiles;
        const char16_t* registryValue;
    } cases[] = {
        {64, u"C:\\Program Files", u"C:\\Program Files"},
        {32, u"C:\\Program Files (x86)", u"C:\\Program Files (x86)"},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<ImageMachine> machine = Open(c.bits);
        ASSERT_TRUE(machine);
        EXPECT_TRUE(machine->Is64BitOS());
        EXPECT_EQ(machine->Is64BitComponent(), c.bits == 64);
        EXPECT_EQ(machine->ShellFolderPath(38, nullptr).path, c.programFiles) << c.bits;
        EXPECT_EQ(machine->ExpandForProcess(u"%ProgramFiles%|%PROGRAMW6432%|%Nope%").text,
                  std::u16string(c.programFiles) + u"|C:\\Program Files|%Nope%");
        // WOW64's file system redirection, and what it leaves shared.
        EXPECT_EQ(machine->PathExists(u"C:\\Windows\\System32\\only64.dll"), c.bits == 64);
        EXPECT_TRUE(machine->PathExists(u"C:\\windows\\system32\\drivers\\etc\\hosts"));
        EXPECT_EQ(machine->PathExists(u"C:\\Windows\\Sysnative\\only64.dll"), c.bits == 32);
        const RegistryValueAnswer value = machine->ReadLocalMachineValue(
            u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", u"ProgramFilesDir");
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(value.bytes.data())),
                  c.registryValue);
    }
    std::string error;
    EXPECT_FALSE(ImageMachine::Open({root_ / "drive_c", 0, u""}, error));
    EXPECT_NE(error.find("not a Windows image"), std::string::npos) << error;
}

TEST_F(ImageMachineTest, TheProcessAccountAndAnImpersonatedProfile) {
    const std::unique_ptr<ImageMachine> process = Open(0);
    ASSERT_TRUE(process);
    EXPECT_EQ(process->OpenThreadToken().error, ERROR_NO_TOKEN);
    EXPECT_EQ(process->ShellFolderPath(0x1A, nullptr).path, u"C:\\users\\tester\\AppData\\Roaming");
    EXPECT_TRUE(FAILED(process->ShellFolderPath(0x05, nullptr).hr));     // no Documents folder
    EXPECT_EQ(process->ShellFolderPath(0x03, nullptr).hr, E_INVALIDARG); // a virtual folder
    EXPECT_EQ(process->ShellFolderPath(0x23 | 0x8000, nullptr).path, u"C:\\ProgramData");
    EXPECT_EQ(process->ExpandForProcess(u"%TEMP%|%windir%").text,
              u"C:\\users\\tester\\Temp|C:\\windows");
    EXPECT_FALSE(process->DriveType(u"Z:\\") == ImageFileSystem::kFixed);

    const std::unique_ptr<ImageMachine> impersonating = Open(0, u"TESTER");
    ASSERT_TRUE(impersonating);
    const ThreadTokenAnswer thread = impersonating->OpenThreadToken();
    ASSERT_TRUE(thread.token);
    EXPECT_EQ(impersonating->ExpandForUser(*thread.token, u"%USERPROFILE%"), u"C:\\users\\tester");
    EXPECT_FALSE(impersonating->ExpandForUser(*thread.token, std::u16string(300, u'x')));
    std::string error;
    EXPECT_FALSE(ImageMachine::Open({root_, 0, u"nobody"}, error));
    EXPECT_NE(error.find("nobody"), std::string::npos);
}

TEST_F(ImageMachineTest, VersionsOfWindowsAndOfFiles) {
    const std::unique_ptr<ImageMachine> machine = Open(0);
    ASSERT_TRUE(machine);
    OsVersionRecord record;
    ASSERT_TRUE(machine->GetVersionRecord(kVersionRecordExtendedSize, record));
    EXPECT_EQ(record.majorVersion * 100000 + record.minorVersion * 10000 + record.buildNumber,
              629200u); // Windows 10 admits to 6.2.9200 only
    EXPECT_EQ(record.productType, kProductServer);
    EXPECT_EQ(record.suiteMask, 0x2);

    const DWORD size = machine->VersionResourceSize(u"c:\\program files\\app\\APP.DLL");
    ASSERT_GT(size, 0u);
    std::vector<std::uint8_t> resource(size);
    ASSERT_EQ(machine->ReadVersionResource(u"C:\\Program Files\\App\\app.dll", resource),
              ERROR_SUCCESS);
    EXPECT_TRUE(machine->QueryVersionValue(resource, u"\\VarFileInfo\\Translation").found);
    EXPECT_EQ(machine->VersionResourceSize(u"C:\\Program Files\\App\\huge.dll"), 0u);
    EXPECT_EQ(machine->VersionResourceSize(u"C:\\Program Files\\App"), 0u);
    EXPECT_EQ(machine->VersionResourceSize(u"C:\\Program Files\\App\\fifo.dll"),
              0u); // never blocks

    EXPECT_EQ(machine->CreateRuleEngine(GUID{1, 2, 3, {4}}).hr, REGDB_E_CLASSNOTREG);
    const std::vector<std::string> notes = machine->TakeNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("{00000001-0002-0003-0400-000000000000}"), std::string::npos);
    EXPECT_TRUE(machine->TakeNotes().empty());
}

} // namespace
} // namespace tarn::image
