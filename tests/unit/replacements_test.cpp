// The replacement values offered to registration scripts: their order, the version-part
// swap, the file description lookup, and where a failure is reported.
#include "provider/replacements.h"

#include "support/logcapture.h"
#include "utility/log/comerror.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tarn::provider {
namespace {

using test::LogCapture;
using test::LogRecord;

struct SwapCase {
    const char* version;
    std::uint32_t ms;
    std::uint32_t ls;
    int build;
    int revision;
};

constexpr std::uint32_t Words(std::uint32_t high, std::uint32_t low) {
    return high << 16 | low;
}

const SwapCase kSwapCases[] = {
    {"6.0.0.2500", Words(6, 0), Words(0, 2500), 2500, 0},
    {"6.0.1.20", Words(6, 0), Words(1, 20), 1, 20},
    {"7.5.0.3000", Words(7, 5), Words(0, 3000), 0, 3000},
    {"7.4.0.3000", Words(7, 4), Words(0, 3000), 3000, 0},
    {"6.0.5.100", Words(6, 0), Words(5, 100), 100, 5},
    {"6.0.5.99", Words(6, 0), Words(5, 99), 5, 99},
    {"7.6.0.3000", Words(7, 6), Words(0, 3000), 0, 3000},
    {"8.0.2.500", Words(8, 0), Words(2, 500), 2, 500},
    {"1.0.0.0", Words(1, 0), Words(0, 0), 0, 0},
    {"65535.65535.65535.65535", 0xFFFFFFFFu, 0xFFFFFFFFu, 65535, 65535},
};

TEST(VersionSwap, GivesBuildAndRevision) {
    for (const SwapCase& c : kSwapCases) {
        const VersionParts parts = SplitProductVersion(c.ms, c.ls);
        EXPECT_EQ(parts.major, static_cast<int>(c.ms >> 16)) << c.version;
        EXPECT_EQ(parts.minor, static_cast<int>(c.ms & 0xFFFF)) << c.version;
        EXPECT_EQ(parts.build, c.build) << c.version;
        EXPECT_EQ(parts.revision, c.revision) << c.version;
    }
}

// A version resource made of a fixed version and a table of string values.
class FakeVersionResource final : public VersionResource {
public:
    bool hasFixed = true;
    std::uint32_t ms = Words(6, 0);
    std::uint32_t ls = Words(0, 2500);
    std::vector<std::pair<std::uint16_t, std::uint16_t>> translations{{0x0409, 0x04B0}};
    std::map<std::u16string, std::u16string> strings{
        {u"\\StringFileInfo\\040904B0\\FileDescription", u"Rule provider"}};
    mutable std::vector<std::u16string> asked;

    bool ProductVersion(std::uint32_t& outMs, std::uint32_t& outLs) const override {
        outMs = ms;
        outLs = ls;
        return hasFixed;
    }
    std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const override {
        return translations;
    }
    std::u16string String(const std::u16string& subBlock) const override {
        asked.push_back(subBlock);
        const auto found = strings.find(subBlock);
        return found == strings.end() ? std::u16string() : found->second;
    }
};

class FakeModuleFile final : public ModuleFile {
public:
    std::u16string path = u"C:\\Program Files\\Agent\\KpxTarnRuleProvider.dll";
    HRESULT pathResult = S_OK;
    HRESULT shortResult = S_OK;
    HRESULT versionFailure = S_OK; // raised instead of loading when set
    FakeVersionResource version;

    HRESULT Path(std::u16string& out) override {
        out = path;
        return pathResult;
    }
    HRESULT ShortPath(const std::u16string& directory, std::u16string& out) override {
        out = directory == u"C:\\Program Files\\Agent" ? u"C:\\PROGRA~1\\Agent" : u"?";
        return shortResult;
    }
    std::unique_ptr<VersionResource> LoadVersionResource() override {
        if (FAILED(versionFailure)) {
            RaiseComErrorWithCode(versionFailure, versionFailure,
                                  u"Error loading version resource:");
        }
        return std::make_unique<FakeVersionResource>(version);
    }
};

// Keeps what it is given; fails at one name.
class RecordingSink final : public ReplacementSink {
public:
    std::u16string failAt;
    std::vector<std::pair<std::u16string, std::u16string>> added;

    HRESULT Add(const char16_t* name, std::u16string_view value) override {
        if (name == failAt) {
            return E_OUTOFMEMORY;
        }
        added.emplace_back(name, value);
        return S_OK;
    }
    std::vector<std::u16string> Names() const {
        std::vector<std::u16string> names;
        for (const auto& entry : added) {
            names.push_back(entry.first);
        }
        return names;
    }
};

const std::vector<std::pair<std::u16string, std::u16string>> kAllValues = {
    {u"APPID", u"{7769253B-A9DE-4fbf-BB31-62FFA32E6150}"},
    {u"MODULE_PATH", u"C:\\Program Files\\Agent"},
    {u"MODULE_PATH_SHORT", u"C:\\PROGRA~1\\Agent"},
    {u"LIBID", u"{CDF1B27E-DB47-4FCF-868D-282BA5F4D329}"},
    {u"VERSION_MAJOR", u"6"},
    {u"VERSION_MINOR", u"0"},
    {u"VERSION_REVISION", u"0"},
    {u"VERSION_BUILD", u"2500"},
    {u"VERSION_3", u"6.0.2500"},
    {u"VERSION_4", u"6.0.0.2500"},
    {u"NAME", u"Rule provider"},
};

TEST(ModuleReplacements, AreAddedInOrder) {
    FakeModuleFile module;
    RecordingSink sink;
    EXPECT_EQ(AddModuleReplacements(module, sink), S_OK);
    EXPECT_EQ(sink.added, kAllValues);
}

TEST(ModuleReplacements, PathWithoutBackslashHasNoDirectoryValues) {
    FakeModuleFile module;
    module.path = u"KpxTarnRuleProvider.dll";
    RecordingSink sink;
    EXPECT_EQ(AddModuleReplacements(module, sink), S_OK);
    const std::vector<std::u16string> expected = {
        u"APPID",         u"LIBID",     u"VERSION_MAJOR", u"VERSION_MINOR", u"VERSION_REVISION",
        u"VERSION_BUILD", u"VERSION_3", u"VERSION_4",     u"NAME"};
    EXPECT_EQ(sink.Names(), expected);
}

TEST(ModuleReplacements, MissingFixedInformationGivesZeros) {
    FakeModuleFile module;
    module.version.hasFixed = false;
    RecordingSink sink;
    ASSERT_EQ(AddModuleReplacements(module, sink), S_OK);
    ASSERT_EQ(sink.added.size(), kAllValues.size());
    EXPECT_EQ(sink.added[8].second, u"0.0.0");
    EXPECT_EQ(sink.added[9].second, u"0.0.0.0");
}

TEST(ModuleReplacements, UnreadablePathStopsWithoutReport) {
    const LogCapture capture;
    FakeModuleFile module;
    module.pathResult = static_cast<HRESULT>(0x8007007A);
    RecordingSink sink;
    EXPECT_EQ(AddModuleReplacements(module, sink), static_cast<HRESULT>(0x8007007A));
    EXPECT_EQ(sink.Names(), std::vector<std::u16string>{u"APPID"});
    EXPECT_TRUE(capture.Records().empty());
}

TEST(ModuleReplacements, UnloadableVersionResourceRaisesItsError) {
    FakeModuleFile module;
    module.versionFailure = HRESULT_FROM_WIN32(1813); // the file has no version resource
    RecordingSink sink;
    try {
        AddModuleReplacements(module, sink);
        ADD_FAILURE() << "not raised";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), module.versionFailure);
        EXPECT_EQ(e.Description().rfind(u"Error loading version resource: ", 0), 0u);
    }
    EXPECT_EQ(sink.Names().back(), u"LIBID");
}

struct FailureCase {
    const char16_t* name;
    int line;
};

const FailureCase kFailureCases[] = {
    {u"APPID", 54},
    {u"MODULE_PATH", 76},
    {u"MODULE_PATH_SHORT", 79},
    {u"LIBID", 87},
    {u"VERSION_MAJOR", 104},
    {u"VERSION_MINOR", 108},
    {u"VERSION_REVISION", 112},
    {u"VERSION_BUILD", 116},
    {u"VERSION_3", 120},
    {u"VERSION_4", 124},
    {u"NAME", 127},
};

TEST(ModuleReplacements, FailureIsReportedUnderItsPositionAndStops) {
    std::vector<std::u16string> before;
    for (const FailureCase& c : kFailureCases) {
        const LogCapture capture;
        FakeModuleFile module;
        RecordingSink sink;
        sink.failAt = c.name;
        EXPECT_EQ(AddModuleReplacements(module, sink), E_OUTOFMEMORY);
        EXPECT_EQ(sink.Names(), before);
        const std::vector<LogRecord> records = capture.Records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].source, "kpxversionrc(" + std::to_string(c.line) + ")");
        EXPECT_EQ(records[0].message, "FAILED_RETURN 8007000e");
        EXPECT_EQ(records[0].severity, 2u);
        before.push_back(c.name);
    }
}

TEST(ModuleReplacements, ShortPathFailureIsReportedAsItsValue) {
    const LogCapture capture;
    FakeModuleFile module;
    module.shortResult = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    RecordingSink sink;
    EXPECT_EQ(AddModuleReplacements(module, sink), module.shortResult);
    const std::vector<LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, "kpxversionrc(79)");
    EXPECT_EQ(records[0].message, "FAILED_RETURN 80070003");
}

struct DescriptionCase {
    const char* name;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> translations;
    std::map<std::u16string, std::u16string> strings;
    std::u16string expected;
};

#define BLOCK(code) u"\\StringFileInfo\\" code u"\\FileDescription"

const DescriptionCase kDescriptionCases[] = {
    {"first translation",
     {{0x0407, 0x04E4}, {0x0409, 0x04B0}},
     {{BLOCK(u"040704E4"), u"German"}, {BLOCK(u"040904B0"), u"English"}},
     u"German"},
    {"empty value skipped",
     {{0x0407, 0x04E4}, {0x0409, 0x04B0}},
     {{BLOCK(u"040704E4"), u""}, {BLOCK(u"040904B0"), u"English"}},
     u"English"},
    {"hexadecimal in upper case", {{0x040C, 0x04E4}}, {{BLOCK(u"040C04E4"), u"French"}}, u"French"},
    {"fallback 040904E4 first",
     {},
     {{BLOCK(u"040904B0"), u"B0"}, {BLOCK(u"040904E4"), u"E4"}},
     u"E4"},
    {"fallback 04090000 last", {{0x0407, 0x04E4}}, {{BLOCK(u"04090000"), u"Neutral"}}, u"Neutral"},
    {"nothing found", {{0x0407, 0x04E4}}, {}, u""},
};

TEST(Description, IsLookedUpInOrder) {
    for (const DescriptionCase& c : kDescriptionCases) {
        FakeVersionResource resource;
        resource.translations = c.translations;
        resource.strings = c.strings;
        EXPECT_EQ(FileDescription(resource), c.expected) << c.name;
    }
}

struct ExpandCase {
    const char16_t* text;
    bool ok;
    const char16_t* expanded;
};

const ExpandCase kExpandCases[] = {
    {u"AppID\\%APPID%", true, u"AppID\\{X}"},
    {u"%MODULE%", true, u"C:\\a b\\x.dll"},
    {u"%Module%", true, u"C:\\a b\\x.dll"},
    {u"plain", true, u"plain"},
    {u"100%% %APPID%%APPID%", true, u"100% {X}{X}"},
    {u"%UNKNOWN%", false, u""},
    {u"open %APPID", false, u""},
    {u"", true, u""},
};

TEST(Replacements, ExpandPlaceholders) {
    Replacements values;
    ASSERT_EQ(values.Add(u"APPID", u"{X}"), S_OK);
    ASSERT_EQ(values.Add(u"MODULE", u"C:\\a b\\x.dll"), S_OK);
    for (const ExpandCase& c : kExpandCases) {
        std::u16string out = u"stale";
        EXPECT_EQ(values.Expand(c.text, out), c.ok)
            << testing::PrintToString(std::u16string(c.text));
        if (c.ok) {
            EXPECT_EQ(out, c.expanded);
        }
    }
    ASSERT_NE(values.Find(u"appid"), nullptr) << "names are matched without case";
    EXPECT_EQ(*values.Find(u"appid"), u"{X}");
    EXPECT_EQ(values.Find(u"APPI"), nullptr);
}

} // namespace
} // namespace tarn::provider
