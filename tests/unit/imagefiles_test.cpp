// Windows paths on a case-sensitive host: parsing, wildcard patterns, case-blind resolution,
// directory searches and environment expansion of an offline image.
#include "machine/image/environment.h"
#include "machine/image/imagefilesystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tarn::image {
namespace {

namespace fs = std::filesystem;

TEST(ImageFiles, WindowsPathsParsed) {
    const struct {
        std::u16string path;
        char16_t drive; // 0: no path of an image
        std::vector<std::u16string> names;
    } cases[] = {
        {u"C:\\Program Files\\a.dll", u'C', {u"Program Files", u"a.dll"}},
        {u"d:/x//./y\\..\\z", u'D', {u"x", u"z"}},
        {u"C:\\..\\..\\a", u'C', {u"a"}},
        {u"C:\\name. .\\b...", u'C', {u"name", u"b"}},
        {u"\\\\?\\C:\\name.", u'C', {u"name."}},
        {u"C:", u'C', {}},
        {u"C:rel", 0, {}},
        {u"rel\\a", 0, {}},
        {u"\\\\server\\share\\a", 0, {}},
        {u"\\\\?\\UNC\\server\\share", 0, {}},
        {u"1:\\a", 0, {}},
        {u"C:\\" + std::u16string(32766, u'a'), 0, {}},
    };
    for (const auto& c : cases) {
        const std::optional<WindowsPath> parsed = ParseWindowsPath(c.path);
        ASSERT_EQ(parsed.has_value(), c.drive != 0) << testing::PrintToString(c.path.substr(0, 40));
        if (parsed) {
            EXPECT_EQ(parsed->drive, c.drive);
            EXPECT_EQ(parsed->names, c.names);
        }
    }
}

TEST(ImageFiles, PatternsMatchAsFindFirstFileDoes) {
    const struct {
        std::u16string_view name, pattern;
        bool matches;
    } cases[] = {
        {u"Notes.TXT", u"*.txt", true},
        {u"notes", u"*.*", true},
        {u"readme", u"*.", true},
        {u"read.me", u"*.", false},
        {u"ab", u"a?", true},
        {u"a", u"a?", false},
        {u"aXbXbc", u"*b*c", true},
        {u"aXbXbd", u"*b*c", false},
        {u"\u00C9t\u00E9", u"\u00E9T\u00C9", true},
        {u"x", u"", false},
        {std::u16string_view(u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab"), u"*a*a*a*a*a*a*a*a*c",
         false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches)
            << testing::PrintToString(std::u16string(c.name)) << " "
            << testing::PrintToString(std::u16string(c.pattern));
    }
}

class ImageFileSystemTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tarn-image-files-" + std::to_string(getpid()));
        fs::remove_all(root_);
        for (const char* file : {"Program Files/Tool/tool.EXE", "Program Files/Tool/b.txt",
                                 "Program Files/Tool/A.txt", "Windows/System32/c.dll"}) {
            fs::create_directories((root_ / file).parent_path());
            std::ofstream(root_ / file) << "MZ";
        }
        fs::create_directory(root_ / "Program Files/Tool/sub");
        fs::create_directory_symlink(root_ / "loop", root_ / "loop");
        files_.MapDrive(u'c', root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::vector<std::u16string> Names(std::u16string_view pattern, DWORD& error) const {
        SearchAnswer answer = files_.Search(pattern);
        error = answer.error;
        std::vector<std::u16string> names;
        for (FindData entry = answer.first; answer.search && error == ERROR_SUCCESS;
             error = answer.search->Next(entry)) {
            names.push_back(entry.name + ((entry.attributes & 0x10) != 0 ? u"/" : u""));
        }
        return names;
    }

    fs::path root_;
    ImageFileSystem files_;
};

TEST_F(ImageFileSystemTest, PathsResolveWithoutCase) {
    const struct {
        std::u16string_view path;
        const char* found; // relative to the root; null: nothing
    } cases[] = {
        {u"c:\\PROGRAM FILES\\tool\\Tool.exe", "Program Files/Tool/tool.EXE"},
        {u"C:\\Windows\\system32\\..\\System32\\C.DLL", "Windows/System32/c.dll"},
        {u"\\\\?\\C:\\program files\\TOOL\\", "Program Files/Tool"},
        {u"C:\\", ""},
        {u"C:\\Program Files\\Tool\\missing.exe", nullptr},
        {u"C:\\Program Files\\Tool\\t*.exe", nullptr},
        {u"C:\\loop\\x", nullptr},
        {u"D:\\Windows", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<fs::path> found = files_.Resolve(c.path);
        const std::string shown = testing::PrintToString(std::u16string(c.path));
        ASSERT_EQ(found.has_value(), c.found != nullptr) << shown;
        if (c.found != nullptr) {
            EXPECT_TRUE(fs::equivalent(*found, root_ / c.found)) << shown;
        }
    }
    EXPECT_EQ(files_.Read(u"C:\\program files\\tool\\tool.exe", 1), std::vector<std::uint8_t>{'M'});
    EXPECT_FALSE(files_.Read(u"C:\\Program Files", 10));
}

TEST_F(ImageFileSystemTest, SearchesListInUpperCaseOrderWithTheDotsFirst) {
    DWORD error = 0;
    EXPECT_EQ(
        Names(u"\\\\?\\C:\\program files\\tool\\*", error),
        (std::vector<std::u16string>{u"./", u"../", u"A.txt", u"b.txt", u"sub/", u"tool.EXE"}));
    EXPECT_EQ(error, ERROR_NO_MORE_FILES);
    EXPECT_EQ(Names(u"C:\\Program Files\\Tool\\*.TXT", error),
              (std::vector<std::u16string>{u"A.txt", u"b.txt"}));
    EXPECT_EQ(Names(u"C:\\P*", error), std::vector<std::u16string>{u"Program Files/"});
    EXPECT_EQ(Names(u"C:\\Program Files\\Tool\\*.dll", error), std::vector<std::u16string>{});
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Names(u"C:\\Nowhere\\*", error), std::vector<std::u16string>{});
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
}

TEST_F(ImageFileSystemTest, OnlyMappedRootsHaveADriveType) {
    EXPECT_EQ(files_.DriveType(u"C:\\"), ImageFileSystem::kFixed);
    EXPECT_EQ(files_.DriveType(u"c:\\Windows\\"), ImageFileSystem::kNoRootDirectory);
    EXPECT_EQ(files_.DriveType(u"D:\\"), ImageFileSystem::kNoRootDirectory);
    EXPECT_EQ(files_.DriveType(u"\\\\server\\share\\"), ImageFileSystem::kNoRootDirectory);
}

TEST(ImageEnvironment, ExpansionKeepsUnknownNames) {
    const Environment variables = {{u"SystemRoot", u"C:\\Windows"}, {u"Empty", u""}};
    const struct {
        std::u16string_view text, expanded;
    } cases[] = {
        {u"%systemroot%\\x", u"C:\\Windows\\x"},
        {u"%Nope%\\%SystemRoot%", u"%Nope%\\C:\\Windows"},
        {u"%Nope%SystemRoot%", u"%Nope%SystemRoot%"},
        {u"100%", u"100%"},
        {u"%%", u"%%"},
        {u"a%Empty%b", u"ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandVariables(c.text, variables), c.expanded)
            << testing::PrintToString(std::u16string(c.text));
    }
}

} // namespace
} // namespace tarn::image
