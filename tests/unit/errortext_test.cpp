// Error texts over a fake message source, where the agent extension library is looked for, and
// the Linux tables against Windows' wording (tests/windows/errortext_test has Wine's side).
#include "common/errortexts.h"
#include "utility/log/errortext.h"
#include "utility/log/messagesource.h"
#include "utility/platform/messagelibraries.h"
#include "utility/text/format.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>

namespace {

using tarn::MessageLibrary;
constexpr int kSystem = -1, kAgent = 0, kWmi = 1, kInet = 2; // MessageLibrary's order

// Texts by (source, id, language); with inserts, "%1" and "%2" become the string or 0x%08X.
struct FakeSource final : tarn::MessageSource {
    bool agent = false;
    std::map<std::tuple<int, std::uint32_t, std::uint16_t>, std::u16string> texts = {
        {{kSystem, 2, 0}, u"File not found.\r\n"},
        {{kSystem, 2, 1031}, u"Datei fehlt.\r\n"},
        {{kSystem, 3, 0}, u"Only a line feed.\n"},
        {{kSystem, 4, 0}, u"Two dots..\r\n"},
        {{kSystem, 0x80041010, 0}, u"The system's WMI text.\r\n"},
        {{kWmi, 0x80041010, 1033}, u"WMI: invalid class.\r\n"},
        {{kWmi, 0x80041002, 0}, u"WMI: not found.\r\n"},
        {{kWmi, 0x80044031, 0}, u"WMI: beyond the range.\r\n"},
        {{kInet, 12002, 1033}, u"Timed out\r\n"},
        {{kInet, 12187, 1033}, u"Beyond WinINet's range\r\n"},
        {{kAgent, 0xE0000010, 1033}, u"The agent service stopped.\r\n"},
        {{kAgent, 0xE0000011, 1033}, u"Rule %1 is broken.\r\n"},
        {{kAgent, tarn::kAgentNoDescription, 1033}, u"No text for %1.\r\n"},
        {{kAgent, tarn::kAgentDecorated, 1033}, u"%1 (A %2).\r\n"},
        {{kAgent, tarn::kAgentDecoratedNetwork, 1033}, u"%1 (B %2).\r\n"},
        {{kAgent, tarn::kAgentDecorated, 1031}, u"%1 (A-de %2)\r\n"}};

    std::u16string SystemText(std::uint32_t code, std::uint16_t language) override {
        return Look(kSystem, code, language);
    }
    bool IsLoaded(MessageLibrary library) override {
        return library != MessageLibrary::Agent || agent;
    }
    std::u16string LibraryText(MessageLibrary library, std::uint32_t id, std::uint16_t language,
                               std::span<const tarn::MessageInsert> inserts) override {
        std::u16string text = IsLoaded(library) ? Look(int(library), id, language) : u"";
        for (std::size_t i = 0; i < inserts.size(); ++i) {
            const auto* s = std::get_if<const char16_t*>(&inserts[i]);
            const std::u16string value =
                s ? *s : tarn::FormatString(16, u"0x%08X", std::get<std::uint32_t>(inserts[i]));
            if (const auto at = text.find(u'%' + std::u16string(1, u'1' + i)); at != text.npos) {
                text.replace(at, 2, value);
            }
        }
        return text;
    }
    std::u16string Look(int source, std::uint32_t id, std::uint16_t language) {
        const auto found = texts.find({source, id, language});
        return found == texts.end() ? u"" : found->second;
    }
};

TEST(ErrorText, SourcesFallbacksTrimmingAndDecoration) {
    const struct {
        bool agent;
        std::uint32_t code, options;
        std::uint16_t language;
        std::u16string text;
    } cases[] = {
        // The system's text, the asked language first; trimmed of CR LF and one full stop.
        {false, 2, 8, 1033, u"File not found"},
        {false, 2, 8, 1031, u"Datei fehlt"},
        {false, 3, 8, 1033, u"Only a line feed.\n"},
        {false, 4, 8, 1033, u"Two dots."},
        // WMI over the system's text only with option 16 in its range, and for any unknown code;
        // WinINet only in its range.
        {false, 0x80041010, 8, 1033, u"The system's WMI text"},
        {false, 0x80041010, 24, 1033, u"WMI: invalid class"},
        {false, 0x80041002, 8, 1033, u"WMI: not found"},
        {false, 0x80044031, 8, 1033, u"WMI: beyond the range"},
        {false, 12002, 8, 1033, u"Timed out"},
        {false, 12187, 8, 1033, u""},
        // Without the agent library: its codes unknown, fixed fallbacks, no decoration.
        {false, 0xE0000010, 8, 1033, u""},
        {false, 0xE0001234, 16, 1033, u"No error description available"},
        {false, 0xE0001234, 1, 1033, u"No error description available (0xE0001234)"},
        {false, 0xE0001234, 12, 1033, u""},
        {false, 2, 4, 1033, u"File not found"},
        // With it: its own codes (inserts left as they are), its fallback text.
        {true, 0xE0000010, 8, 1033, u"The agent service stopped"},
        {true, 0xE0000011, 8, 1033, u"Rule %1 is broken"},
        {true, 0xE0001234, 0, 1033, u"No text for 0xE0001234"},
        {true, 0xE0001234, 8, 1033, u""},
        {true, 0xE0001234, 0, 1031, u""}, // no German fallback message
        // Decoration: 4 by range (10000 to 12186 the second form), else 1 first, 2 second.
        {true, 2, 1, 1033, u"File not found (A 0x00000002)"},
        {true, 2, 2, 1033, u"File not found (B 0x00000002)"},
        {true, 2, 6, 1033, u"File not found (A 0x00000002)"},
        {true, 9999, 4, 1033, u"No text for 0x0000270F (A 0x0000270F)"},
        {true, 10000, 5, 1033, u"No text for 0x00002710 (B 0x00002710)"},
        {true, 12002, 4, 1033, u"Timed out (B 0x00002EE2)"},
        {true, 12187, 12, 1033, u""}, // nothing found: nothing to decorate
        {true, 2, 1, 1031, u"Datei fehlt (A-de 0x00000002)"},
        {true, 2, 2, 1031, u"Datei fehlt"}, // no German second form
    };
    for (const auto& c : cases) {
        FakeSource source;
        source.agent = c.agent;
        EXPECT_EQ(tarn::SelectErrorText(source, c.code, c.options, c.language), c.text)
            << std::hex << c.code << " options " << c.options << " agent " << c.agent;
    }
}

struct Inputs {
    std::u16string host;
    bool installMode = false, wow64 = false;
    std::optional<std::u16string> installDir;
    std::uint32_t readError = 2;
};

struct Facts final : tarn::AgentLibraryFacts {
    explicit Facts(Inputs inputs) : in(std::move(inputs)) {}
    Inputs in;
    bool registryRead = false;

    std::u16string HostExecutable() override { return in.host; }
    bool InstallMode() override { return in.installMode; }
    bool IsWow64() override { return in.wow64; }
    bool InstallDir(std::u16string& directory, std::uint32_t& error) override {
        registryRead = true;
        error = in.installDir ? 0 : in.readError;
        directory = in.installDir.value_or(u"");
        return in.installDir.has_value();
    }
};

TEST(ErrorText, AgentLibraryLocation) {
    const std::u16string longDir = u"C:\\" + std::u16string(600, u'd');
    const struct {
        Inputs facts;
        std::u16string path; // error 2 when empty
        bool registryRead;
    } cases[] = {
        // {host, install mode, WOW64, InstallDir (none: cannot be read)}
        {{u"C:\\Web\\HTTPD.exe", true, false, u"C:\\A"}, u"", false},
        {{u"C:\\Web\\httpd.exe", false, false, u"C:\\A"}, u"", false},
        {{u"C:\\httpd.exe.1", false, false, u"C:\\A"}, u"C:\\A\\KpxAgentExt.dll", true},
        {{u"C:\\S\\setup.exe", true, false, u"C:\\A"},
         u"C:\\S\\x86\\CoreAgentDll\\KpxAgentExt.dll",
         false},
        {{u"C:\\h\\host.exe", false, false, u"C:\\A\\"}, u"C:\\A\\KpxAgentExt.dll", true},
        {{u"C:\\h\\host.exe", false, true, u"C:\\A\\\\"}, u"C:\\A\\\\x86\\KpxAgentExt.dll", true},
        {{u"C:\\h\\host.exe", false, true, u"C:\\A"}, u"C:\\A\\x86\\KpxAgentExt.dll", true},
        {{u"C:\\h\\host.exe", false, false, std::nullopt}, u"", true},
        {{u"C:\\h\\host.exe", false, false, longDir}, longDir + u"\\KpxAgentExt.dll", true},
    };
    for (const auto& c : cases) {
        Facts facts(c.facts);
        const tarn::AgentLibraryLocation location = tarn::LocateAgentLibrary(facts);
        EXPECT_EQ(location.path, c.path) << c.path.size();
        EXPECT_EQ(location.error, c.path.empty() ? 2u : 0u) << c.path.size();
        EXPECT_EQ(location.hostFallback, c.facts.installMode && !c.path.empty());
        EXPECT_EQ(facts.registryRead, c.registryRead) << c.path.size();
    }
    Facts denied({u"host.exe", false, false, std::nullopt, 5});
    EXPECT_EQ(tarn::LocateAgentLibrary(denied).error, 5u);
}

// tarn-eval and the log on Linux word the rules' codes as Windows does.
TEST(ErrorText, LinuxTablesGiveTheWindowsTexts) {
    for (const auto& t : tarn::test::kRecordedTexts) {
        EXPECT_EQ(GetErrorText(t.code), t.windows) << std::hex << t.code;
    }
}

} // namespace
