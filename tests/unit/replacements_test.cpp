// The replacement values offered to registration scripts: their order, where a failure is
// reported and what it stops, and the text expansion. (The scripts use APPID and the module
// path; the version parts and description are offered as they are read.)
#include "provider/replacements.h"

#include "support/logcapture.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tarn::provider {
namespace {

using test::LogCapture;

constexpr std::uint32_t Words(std::uint32_t high, std::uint32_t low) {
    return high << 16 | low;
}

// A version resource with the product version 6.0.0.2500 (as builds below 7.5 wrote 6.0.2500)
// and one description.
class FakeVersionResource final : public VersionResource {
public:
    bool hasFixed = true;

    bool ProductVersion(std::uint32_t& ms, std::uint32_t& ls) const override {
        ms = Words(6, 0);
        ls = Words(0, 2500);
        return hasFixed;
    }
    std::vector<std::pair<std::uint16_t, std::uint16_t>> Translations() const override {
        return {{0x0409, 0x04B0}};
    }
    std::u16string String(const std::u16string& subBlock) const override {
        return subBlock == u"\\StringFileInfo\\040904B0\\FileDescription" ? u"Rule provider" : u"";
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

// Keeps what it is given as "NAME=value;"; fails at one name.
class RecordingSink final : public ReplacementSink {
public:
    std::u16string failAt;
    std::string added;

    HRESULT Add(const char16_t* name, std::u16string_view value) override {
        if (name == failAt) {
            return E_OUTOFMEMORY;
        }
        added += Utf16ToUtf8(name) + "=" + Utf16ToUtf8(value) + ";";
        return S_OK;
    }
};

const std::string kAppId = "APPID={7769253B-A9DE-4fbf-BB31-62FFA32E6150};";
const std::string kDirectories =
    "MODULE_PATH=C:\\Program Files\\Agent;MODULE_PATH_SHORT=C:\\PROGRA~1\\Agent;";
const std::string kLibId = "LIBID={CDF1B27E-DB47-4FCF-868D-282BA5F4D329};";
const std::string kVersions = "VERSION_MAJOR=6;VERSION_MINOR=0;VERSION_REVISION=0;"
                              "VERSION_BUILD=2500;VERSION_3=6.0.2500;VERSION_4=6.0.0.2500;";
const std::string kName = "NAME=Rule provider;";
const std::string kAll = kAppId + kDirectories + kLibId + kVersions + kName;

TEST(ModuleReplacements, AreAddedInOrder) {
    const std::string zeros = "VERSION_MAJOR=0;VERSION_MINOR=0;VERSION_REVISION=0;"
                              "VERSION_BUILD=0;VERSION_3=0.0.0;VERSION_4=0.0.0.0;";
    const struct {
        const char16_t* path;
        bool hasFixed;
        std::string added;
    } cases[] = {
        {u"C:\\Program Files\\Agent\\KpxTarnRuleProvider.dll", true, kAll},
        {u"KpxTarnRuleProvider.dll", true, kAppId + kLibId + kVersions + kName},
        {u"C:\\Program Files\\Agent\\x.dll", false, kAppId + kDirectories + kLibId + zeros + kName},
    };
    for (const auto& c : cases) {
        FakeModuleFile module;
        module.path = c.path;
        module.version.hasFixed = c.hasFixed;
        RecordingSink sink;
        EXPECT_EQ(AddModuleReplacements(module, sink), S_OK);
        EXPECT_EQ(sink.added, c.added);
    }
}

// Each failing value is reported under its fixed position and stops the rest; the module's
// own failures are not reported.
TEST(ModuleReplacements, FailuresStopTheRest) {
    const struct {
        const char16_t* failAt;
        int line; // 0: nothing reported
        HRESULT shortResult = S_OK;
        HRESULT pathResult = S_OK;
        HRESULT returned = E_OUTOFMEMORY;
    } cases[] = {
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
        {u"", 79, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), S_OK,
         HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
        {u"", 0, S_OK, static_cast<HRESULT>(0x8007007A), static_cast<HRESULT>(0x8007007A)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const LogCapture capture;
        FakeModuleFile module;
        module.shortResult = c.shortResult;
        module.pathResult = c.pathResult;
        RecordingSink sink;
        sink.failAt = c.failAt;
        EXPECT_EQ(AddModuleReplacements(module, sink), c.returned);
        const std::string stop = *c.failAt != u'\0' ? Utf16ToUtf8(c.failAt) + "="
                                 : c.line == 0      ? "MODULE_PATH="
                                                    : "MODULE_PATH_SHORT=";
        EXPECT_EQ(sink.added, kAll.substr(0, kAll.find(stop)));
        const std::vector<test::LogRecord> records = capture.Records();
        ASSERT_EQ(records.size(), c.line == 0 ? 0u : 1u);
        if (c.line != 0) {
            EXPECT_EQ(records[0].source, "kpxversionrc(" + std::to_string(c.line) + ")");
            char code[16];
            std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(c.returned));
            EXPECT_EQ(records[0].message, std::string("FAILED_RETURN ") + code);
            EXPECT_EQ(records[0].severity, 2u);
        }
    }
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
    EXPECT_EQ(sink.added, kAll.substr(0, kAll.find("VERSION_MAJOR")));
}

TEST(Replacements, ExpandPlaceholders) {
    const struct {
        const char16_t* text;
        bool ok;
        const char16_t* expanded;
    } cases[] = {
        {u"AppID\\%APPID%", true, u"AppID\\{X}"},
        {u"%Module%", true, u"C:\\a b\\x.dll"},
        {u"100%% %APPID%%APPID%", true, u"100% {X}{X}"},
        {u"", true, u""},
        {u"%UNKNOWN%", false, u""},
        {u"%APPI%", false, u""},
        {u"open %APPID", false, u""},
    };
    Replacements values;
    ASSERT_EQ(values.Add(u"APPID", u"{X}"), S_OK);
    ASSERT_EQ(values.Add(u"MODULE", u"C:\\a b\\x.dll"), S_OK);
    for (const auto& c : cases) {
        std::u16string out = u"stale";
        EXPECT_EQ(values.Expand(c.text, out), c.ok) << Utf16ToUtf8(c.text);
        if (c.ok) {
            EXPECT_EQ(out, c.expanded);
        }
    }
}

} // namespace
} // namespace tarn::provider
