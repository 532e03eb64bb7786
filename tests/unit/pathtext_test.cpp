#include "utility/platform/pathtext.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

namespace tarn::paths {
namespace {

TEST(PathText, SplitsIntoRootFileNameAndParent) {
    const struct {
        const char16_t* path;
        const char16_t* root;
        const char16_t* fileName;
        const char16_t* parent;
    } cases[] = {
        {u"C:\\a\\b", u"C:\\", u"b", u"C:\\a"},
        {u"C:\\a\\b\\", u"C:\\", u"b", u"C:\\a"},
        {u"C:/a/b.txt", u"C:/", u"b.txt", u"C:/a"},
        {u"C:\\a", u"C:\\", u"a", u"C:\\"},
        {u"C:\\", u"C:\\", u"C:", u""},
        {u"C:a", u"C:", u"C:a", u""},
        {u"\\\\server\\share\\dir\\f", u"\\\\server\\share", u"f", u"\\\\server\\share\\dir"},
        {u"\\\\server", u"\\\\server", u"server", u"\\"},
        {u"\\top\\f", u"\\", u"f", u"\\top"},
        {u"name", u"", u"name", u""},
        {u"", u"", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.path));
        EXPECT_EQ(RootOf(c.path), c.root);
        EXPECT_EQ(FileName(c.path), c.fileName);
        EXPECT_EQ(ParentOf(c.path), c.parent);
    }
}

TEST(PathText, CombinesABaseAndARelativePath) {
    const struct {
        const char16_t* base;
        const char16_t* relative;
        const char16_t* combined;
    } cases[] = {
        {u"C:\\x\\y", u"z", u"C:\\x\\y\\z"},
        {u"C:\\x\\y\\", u"z", u"C:\\x\\y\\z"},
        {u"C:", u"z", u"C:z"},
        {u"C:\\x\\y", u"\\z", u"C:\\z"},
        {u"C:\\x\\y", u"D:\\z", u"D:\\z"},
        {u"C:\\x\\y", u"\\\\s\\h\\z", u"\\\\s\\h\\z"},
        {u"\\\\s\\h\\x", u"/z", u"\\\\s\\h\\z"},
        {u"x\\y", u"\\z", u"\\z"},
        {u"C:\\x", u"", u"C:\\x"},
        {u"", u"z", u"z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Combine(c.base, c.relative), c.combined)
            << Utf16ToUtf8(c.base) << " + " << Utf16ToUtf8(c.relative);
    }
}

TEST(PathText, TrailingSeparatorsAreAddedAndRemovedOnce) {
    std::u16string path = u"C:\\a//";
    StripTrailingSeparator(path);
    EXPECT_EQ(path, u"C:\\a/");
    EnsureTrailingSeparator(path);
    EXPECT_EQ(path, u"C:\\a/");
    path = u"C:\\a";
    EnsureTrailingSeparator(path);
    EXPECT_EQ(path, u"C:\\a\\");
    path.clear();
    EnsureTrailingSeparator(path);
    StripTrailingSeparator(path);
    EXPECT_EQ(path, u"");
}

} // namespace
} // namespace tarn::paths
