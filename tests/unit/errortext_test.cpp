// Error texts for log messages: which source answers, the fallbacks, trimming and decoration,
// over a fake message source; where the agent extension library is looked for; and the
// Linux tables against the texts that Wine's tables give (tests/windows/errortext_test has
// the Windows side).
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

using tarn::MessageInsert;
using tarn::MessageLibrary;

constexpr int kSystem = -1;

// Texts keyed by (source, id, language); "%1" and "%2" are replaced when inserts are given,
// strings as they are and numbers as 0x%08X.
class FakeSource final : public tarn::MessageSource {
public:
    bool agentLoaded = false;
    std::map<std::tuple<int, std::uint32_t, std::uint16_t>, std::u16string> texts;

    std::u16string SystemText(std::uint32_t code, std::uint16_t language) override {
        return Look(kSystem, code, language);
    }
    bool IsLoaded(MessageLibrary library) override {
        return library != MessageLibrary::Agent || agentLoaded;
    }
    std::u16string LibraryText(MessageLibrary library, std::uint32_t id, std::uint16_t language,
                               std::span<const MessageInsert> inserts) override {
        if (!IsLoaded(library)) {
            return {};
        }
        std::u16string text = Look(static_cast<int>(library), id, language);
        for (std::size_t i = 0; i < inserts.size(); ++i) {
            const std::u16string mark = u"%" + std::u16string(1, char16_t(u'1' + i));
            std::u16string value;
            if (const auto* s = std::get_if<const char16_t*>(&inserts[i])) {
                value = *s;
            } else {
                value = tarn::FormatString(16, u"0x%08X", std::get<std::uint32_t>(inserts[i]));
            }
            if (const auto at = text.find(mark); at != std::u16string::npos) {
                text.replace(at, 2, value);
            }
        }
        return text;
    }

private:
    std::u16string Look(int source, std::uint32_t id, std::uint16_t language) {
        const auto found = texts.find({source, id, language});
        return found == texts.end() ? std::u16string() : found->second;
    }
};

FakeSource MakeSource(bool agentLoaded) {
    FakeSource s;
    s.agentLoaded = agentLoaded;
    const auto wmi = static_cast<int>(MessageLibrary::Wmi);
    const auto inet = static_cast<int>(MessageLibrary::WinInet);
    const auto agent = static_cast<int>(MessageLibrary::Agent);
    s.texts = {
        {{kSystem, 2, 0}, u"File not found.\r\n"},
        {{kSystem, 2, 1031}, u"Datei fehlt.\r\n"},
        {{kSystem, 3, 0}, u"Only a line feed.\n"},
        {{kSystem, 4, 0}, u"Two dots..\r\n"},
        {{kSystem, 0x80041010, 0}, u"The system's WMI text.\r\n"},
        {{wmi, 0x80041010, 1033}, u"WMI: invalid class.\r\n"},
        {{wmi, 0x80041002, 0}, u"WMI: not found.\r\n"},
        {{wmi, 0x80044031, 0}, u"WMI: beyond the range.\r\n"},
        {{inet, 12002, 1033}, u"Timed out\r\n"},
        {{inet, 12187, 1033}, u"Beyond WinINet's range\r\n"},
        {{agent, 0xE0000010, 1033}, u"The agent service stopped.\r\n"},
        {{agent, 0xE0000011, 1033}, u"Rule %1 is broken.\r\n"},
        {{agent, tarn::kAgentNoDescription, 1033}, u"No text for %1.\r\n"},
        {{agent, tarn::kAgentDecorated, 1033}, u"%1 (A %2).\r\n"},
        {{agent, tarn::kAgentDecoratedNetwork, 1033}, u"%1 (B %2).\r\n"},
        {{agent, tarn::kAgentDecorated, 1031}, u"%1 (A-de %2)\r\n"},
    };
    return s;
}

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
        // WMI: replaces the system's text only with option 16 and inside the WMI range; asked
        // for any code that nothing else knows.
        {false, 0x80041010, 8, 1033, u"The system's WMI text"},
        {false, 0x80041010, 24, 1033, u"WMI: invalid class"},
        {false, 0x80041002, 8, 1033, u"WMI: not found"},
        {false, 0x80044031, 8, 1033, u"WMI: beyond the range"},
        // WinINet only inside its range.
        {false, 12002, 8, 1033, u"Timed out"},
        {false, 12187, 8, 1033, u""},
        // Without the agent library: its codes unknown, the fixed fallbacks undecorated.
        {false, 0xE0000010, 8, 1033, u""},
        {false, 0xE0001234, 0, 1033, u"No error description available"},
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
        {true, 2, 3, 1033, u"File not found (A 0x00000002)"},
        {true, 2, 6, 1033, u"File not found (A 0x00000002)"},
        {true, 9999, 4, 1033, u"No text for 0x0000270F (A 0x0000270F)"},
        {true, 10000, 4, 1033, u"No text for 0x00002710 (B 0x00002710)"},
        {true, 12002, 4, 1033, u"Timed out (B 0x00002EE2)"},
        {true, 12187, 12, 1033, u""}, // nothing found: nothing to decorate
        {true, 2, 1, 1031, u"Datei fehlt (A-de 0x00000002)"},
        {true, 2, 2, 1031, u"Datei fehlt"}, // no German second form: left undecorated
    };
    for (const auto& c : cases) {
        FakeSource source = MakeSource(c.agent);
        EXPECT_EQ(tarn::SelectErrorText(source, c.code, c.options, c.language), c.text)
            << std::hex << c.code << " options " << c.options << " agent " << c.agent;
    }
}

struct Facts final : tarn::AgentLibraryFacts {
    std::u16string host;
    bool installMode = false;
    std::optional<std::u16string> installDir;
    std::uint32_t readError = 0;
    bool wow64 = false;
    bool registryRead = false;

    std::u16string HostExecutable() override { return host; }
    bool InstallMode() override { return installMode; }
    bool InstallDir(std::u16string& directory, std::uint32_t& error) override {
        registryRead = true;
        error = readError;
        if (installDir) {
            directory = *installDir;
        }
        return installDir.has_value();
    }
    bool IsWow64() override { return wow64; }
};

TEST(ErrorText, AgentLibraryLocation) {
    const std::u16string longDir = u"C:\\" + std::u16string(600, u'd');
    const struct {
        std::u16string host;
        bool installMode;
        std::optional<std::u16string> installDir;
        std::uint32_t readError;
        bool wow64;
        std::u16string path;
        std::uint32_t error;
        bool registryRead;
    } cases[] = {
        {u"C:\\Web\\HTTPD.exe", true, u"C:\\Agent", 0, false, u"", 2, false},
        {u"C:\\Web\\httpd.exe", false, u"C:\\Agent", 0, false, u"", 2, false},
        {u"C:\\Web\\httpd.exe.bak", false, u"C:\\Agent", 0, false, u"C:\\Agent\\KpxAgentExt.dll", 0,
         true},
        {u"C:\\Setup\\setup.exe", true, u"C:\\Agent", 0, false,
         u"C:\\Setup\\x86\\CoreAgentDll\\KpxAgentExt.dll", 0, false},
        {u"setup.exe", true, std::nullopt, 0, false, u"\\x86\\CoreAgentDll\\KpxAgentExt.dll", 0,
         false},
        {u"C:\\h\\host.exe", false, u"C:\\Agent", 0, false, u"C:\\Agent\\KpxAgentExt.dll", 0, true},
        {u"C:\\h\\host.exe", false, u"C:\\Agent\\", 0, false, u"C:\\Agent\\KpxAgentExt.dll", 0,
         true},
        {u"C:\\h\\host.exe", false, u"C:\\Agent\\\\", 0, true, u"C:\\Agent\\\\x86\\KpxAgentExt.dll",
         0, true},
        {u"C:\\h\\host.exe", false, u"C:\\Agent\\", 0, true, u"C:\\Agent\\x86\\KpxAgentExt.dll", 0,
         true},
        {u"C:\\h\\host.exe", false, std::nullopt, 2, false, u"", 2, true},
        {u"C:\\h\\host.exe", false, std::nullopt, 5, true, u"", 5, true},
        {u"C:\\h\\host.exe", false, longDir, 0, false, longDir + u"\\KpxAgentExt.dll", 0, true},
    };
    for (const auto& c : cases) {
        Facts facts;
        facts.host = c.host;
        facts.installMode = c.installMode;
        facts.installDir = c.installDir;
        facts.readError = c.readError;
        facts.wow64 = c.wow64;
        const tarn::AgentLibraryLocation location = tarn::LocateAgentLibrary(facts);
        const std::string label(c.host.begin(), c.host.end());
        EXPECT_EQ(location.path, c.path) << label;
        EXPECT_EQ(location.error, c.error) << label;
        EXPECT_EQ(location.hostFallback, c.installMode && c.error == 0) << label;
        EXPECT_EQ(facts.registryRead, c.registryRead) << label;
    }
}

// tarn-eval and the log on Linux word the rules' codes as Windows does.
TEST(ErrorText, LinuxTablesGiveTheWindowsTexts) {
    for (const auto& t : tarn::test::kRecordedTexts) {
        EXPECT_EQ(GetErrorText(t.code), t.windows) << std::hex << t.code;
    }
}

} // namespace
