// The decisions of the path services over scripted platform calls.
#include "utility/platform/pathservices.h"

#include "support/logcapture.h"
#include "utility/log/report.h"
#include "utility/platform/pathtext.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

namespace tarn::paths {
namespace {

int canonicalizerCalls = 0;

// Knows one path; fails, as PathCanonicalizeW can, for every other.
bool ScriptedCanonicalize(std::u16string& path) {
    ++canonicalizerCalls;
    if (path != u"C:\\a\\.\\b\\..\\c") {
        return false;
    }
    path = u"C:\\a\\c";
    return true;
}

TEST(ExtendedLengthForm, PrefixesDrivePathsAndLeavesOthers) {
    const struct {
        const char16_t* path;
        const char16_t* form;
        bool canonicalized;
    } cases[] = {
        {u"C:\\a\\.\\b\\..\\c", u"\\\\?\\C:\\a\\c", true},
        {u"C:\\a\\\\b", u"\\\\?\\C:\\a\\b", false},
        {u"C:\\a\\\\\\b\\\\", u"\\\\?\\C:\\a\\b\\", false},
        // A failed canonicalisation keeps the text; the runs are still collapsed.
        {u"C:\\x\\.\\\\y", u"\\\\?\\C:\\x\\.\\y", true},
        {u"C:a\\b", u"C:a\\b", false},
        {u"C:/a/b", u"C:/a/b", false},
        {u"a\\.\\b", u"a\\.\\b", false},
        {u"\\\\server\\share\\.\\x", u"\\\\server\\share\\.\\x", false},
        {u"", u"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.path));
        canonicalizerCalls = 0;
        EXPECT_EQ(ExtendedLengthForm(c.path, &ScriptedCanonicalize), c.form);
        EXPECT_EQ(canonicalizerCalls, c.canonicalized ? 1 : 0);
    }
}

SECURITY_ATTRIBUTES security{};

// Creating answers ERROR_PATH_NOT_FOUND without the parent, ERROR_ALREADY_EXISTS for what exists
// or the failure scripted for the path.
struct ScriptedDisk final : DirectoryCalls {
    std::map<std::u16string, DWORD> entries{{u"C:\\", FILE_ATTRIBUTE_DIRECTORY},
                                            {u"C:\\dir", FILE_ATTRIBUTE_DIRECTORY},
                                            {u"C:\\deny", FILE_ATTRIBUTE_DIRECTORY},
                                            {u"C:\\file", 0x20}};
    std::map<std::u16string, DWORD> failures{{u"C:\\deny\\x", ERROR_ACCESS_DENIED},
                                             {u"C:\\race", ERROR_ALREADY_EXISTS}};
    std::vector<std::u16string> made;

    DWORD Attributes(std::u16string_view path) override {
        const auto found = entries.find(std::u16string(path));
        return found == entries.end() ? kNoFileAttributes : found->second;
    }
    DWORD MakeDirectory(std::u16string_view path, SECURITY_ATTRIBUTES* passed) override {
        EXPECT_EQ(passed, &security);
        const std::u16string key(path);
        if (failures.contains(key) || entries.contains(key)) {
            return failures.contains(key) ? failures[key] : ERROR_ALREADY_EXISTS;
        }
        if (!entries.contains(std::u16string(ParentOf(key)))) {
            return ERROR_PATH_NOT_FOUND;
        }
        entries[key] = FILE_ATTRIBUTE_DIRECTORY;
        made.push_back(key);
        return ERROR_SUCCESS;
    }
};

TEST(CreateDirectoryPath, CreatesMissingParentsAndAnswersWithLastError) {
    const struct {
        const char16_t* path;
        bool created;
        std::optional<DWORD> lastError;
        std::vector<std::u16string> made;
        const char* reported; // the directory of the one warning
    } cases[] = {
        {u"C:\\a\\b\\c", true, std::nullopt, {u"C:\\a", u"C:\\a\\b", u"C:\\a\\b\\c"}, nullptr},
        {u"C:\\dir", true, ERROR_ALREADY_EXISTS, {}, nullptr},
        {u"C:\\file", false, 82, {}, nullptr},
        {u"C:\\race", true, ERROR_ALREADY_EXISTS, {}, nullptr},
        {u"", false, ERROR_INVALID_PARAMETER, {}, nullptr},
        {nullptr, false, ERROR_INVALID_PARAMETER, {}, nullptr},
        // The missing drive's root has no parent: its own failure stands, unreported.
        {u"Z:\\x", false, ERROR_PATH_NOT_FOUND, {}, nullptr},
        // The parent's failure is reported once, by the parent.
        {u"C:\\deny\\x\\y", false, ERROR_ACCESS_DENIED, {}, "C:\\deny\\x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path != nullptr ? Utf16ToUtf8(c.path) : "null");
        ScriptedDisk disk;
        const test::LogCapture log;
        EXPECT_EQ(CreateDirectoryPath(disk, c.path, &security, 0), c.created);
        if (c.lastError) {
            EXPECT_EQ(GetLastError(), *c.lastError);
        }
        EXPECT_EQ(disk.made, c.made);
        const std::vector<test::LogRecord> records = log.RecordsFrom("CreateDirectoryPath");
        ASSERT_EQ(records.size(), c.reported != nullptr ? 1u : 0u);
        if (c.reported != nullptr) {
            EXPECT_EQ(records[0].severity, CE_SEVERITY_WARNING);
            const std::string start = "Cannot create directory '" + std::string(c.reported);
            EXPECT_EQ(records[0].message.rfind(start + "', error: ", 0), 0u) << records[0].message;
        }
    }
}

TEST(PathServices, ProgramFilesFallbackAndMarkerName) {
    // No registry off Windows: the folder cannot be read.
    EXPECT_EQ(ProgramFilesFolder(), u"C:\\Program Files");
    EXPECT_EQ(TemporaryDirectoryMarker(4294967295u),
              u"Kpx_{A4597EF2-B2F1-4954-A2FF-A65C393439AF}_4294967295");
}

} // namespace
} // namespace tarn::paths
