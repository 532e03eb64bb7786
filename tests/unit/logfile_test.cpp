// The log writer's settings, placement, rotation and header record, on real files in a
// directory of the test's own with the settings in a registry held in memory.
#include "support/fakeregistry.h"
#include "utility/log/agentlog.h"
#include "utility/log/installlog.h"
#include "utility/log/logsettings.h"
#include "utility/text/strings.h"

#include "common/logrecords.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using test::FakeRegistry;

const std::u16string kSettings = logsettings::kSettingsKey;

TEST(LogSettings, LimitsKeepTheirBoundsAndTypes) {
    const struct {
        std::map<std::u16string, FakeRegistry::Value> values;
        logsettings::Limits limits;
    } cases[] = {
        {{}, {7, 100, 20}},
        {{{u"Severity", FakeRegistry::Dword(0x1FF)},
          {u"MaxSize", FakeRegistry::Dword(5)},
          {u"MaxFiles", FakeRegistry::Dword(1)}},
         {0xFF, 10, 2}},
        {{{u"Severity", FakeRegistry::String(u"63")}, {u"MaxSize", FakeRegistry::Dword(4096)}},
         {7, 4096, 20}},
    };
    for (const auto& c : cases) {
        FakeRegistry registry;
        registry.keys[kSettings] = c.values;
        RegistryKey key(registry);
        ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kSettings.c_str(), KEY_READ));
        const logsettings::Limits limits = logsettings::ReadLimits(key);
        EXPECT_EQ(limits.severityMask, c.limits.severityMask);
        EXPECT_EQ(limits.maxSizeKB, c.limits.maxSizeKB);
        EXPECT_EQ(limits.maxFiles, c.limits.maxFiles);
    }
}

TEST(LogSettings, StringValuesMustBeWholeStrings) {
    const struct {
        FakeRegistry::Value value;
        bool read;
        DWORD count;
        std::u16string text;
    } cases[] = {
        {FakeRegistry::String(u"C:\\Logs"), true, 8, u"C:\\Logs"},
        {FakeRegistry::String(u"%TEMP%\\x", REG_EXPAND_SZ), true, 9, u"%TEMP%\\x"},
        {FakeRegistry::String(u""), true, 1, u""},
        {{REG_SZ, {}}, true, 0, u""},
        {{REG_SZ, {'a', 0, 'b'}}, false, 0, u""},    // odd byte count
        {{REG_SZ, {'a', 0, 'b', 0}}, false, 0, u""}, // no terminator
        {FakeRegistry::Dword(1), false, 0, u""},
    };
    for (const auto& c : cases) {
        FakeRegistry registry;
        registry.keys[kSettings] = {{u"FilePath", c.value}};
        RegistryKey key(registry);
        ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kSettings.c_str(), KEY_READ));
        std::u16string text;
        DWORD count = 0;
        EXPECT_EQ(key.QueryTypedString(u"FilePath", 520, text, count), c.read);
        EXPECT_EQ(c.read ? ERROR_SUCCESS : GetLastError(),
                  c.read ? ERROR_SUCCESS : ERROR_INVALID_DATA);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(text, c.text);
    }
}

TEST(LogSettings, TheDirectoryOfTheLog) {
    const struct {
        logsettings::LocationInputs inputs;
        std::u16string directory;
    } cases[] = {
        {{std::nullopt, 22, u"C:\\ProgramData", u"C:\\Program Files", u"C:\\Temp", false},
         u"C:\\ProgramData\\Velmoric\\Velmoric Agent\\Logs"},
        {{std::nullopt, 19, u"C:\\Documents", u"C:\\Program Files", u"C:\\Temp", false},
         u"C:\\Program Files\\Orvanta\\Orvanta Agent\\Logs"},
        {{std::nullopt, 22, u"", u"", u"C:\\Temp", true}, u"C:\\Temp\\Low"},
        {{std::nullopt, 22, u"", u"", u"", false}, u"C:\\TEMP"},
        {{u"D:\\Logs\\", 22, u"C:\\ProgramData", u"", u"", false}, u"D:\\Logs"},
        {{u"", 22, u"C:\\ProgramData", u"", u"C:\\Temp\\", true}, u"C:\\Temp\\Low"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(logsettings::FinalDirectory(logsettings::ConfiguredDirectory(c.inputs),
                                              c.inputs.lowIntegrity),
                  c.directory);
    }
}

TEST(LogRotation, WhichFileGoes) {
    using logrotation::LogFileEntry;
    const struct {
        std::vector<LogFileEntry> examined;
        std::uint32_t maxFiles;
        std::optional<std::size_t> deleted;
        bool archived;
    } cases[] = {
        {{{u"Agent.log", 9}, {u"Agent1.log", 5}}, 3, std::nullopt, true},
        {{{u"Agent2.log", 5}, {u"AGENT.LOG", 1}, {u"Agent1.log", 5}}, 3, 0, true}, // a tie
        {{{u"Agent.log", 9}, {u"Agent1.log", 5}, {u"Agent2.log", 1}}, 2, 1, true}, // two looked at
        {{{u"agent.log", 1}, {u"Agent.log", 9}}, 2, std::nullopt, false},
    };
    for (const auto& c : cases) {
        const logrotation::RotationPlan plan =
            logrotation::PlanRotation(c.examined, u"C:\\Logs", u"C:\\Logs\\Agent.log", c.maxFiles);
        EXPECT_EQ(plan.deleteEntry, c.deleted);
        EXPECT_EQ(plan.archiveCurrent, c.archived);
    }
}

TEST(InstallLog, LinesAndTheInstallModeMarker) {
    const installlog::LineTime time{2024, 3, 5, 14, 3, 9};
    EXPECT_EQ(installlog::FormatLine(time, 1234, 56, u"*WARN", u"Installer", u"Done"),
              "2024-03-05 14:03:09 P:1234   T:56     *WARN Installer: Done\r\n");
    EXPECT_EQ(installlog::FormatLine(time, 7, 1234567, u" INFO", nullptr, u"Gr\u00FC\u00DFe"),
              "2024-03-05 14:03:09 P:7      T:1234567 Gr\xC3\xBC\xC3\x9F"
              "e\r\n");
    EXPECT_EQ(
        installlog::FormatLine(time, 1, 2, u"<TRC>", u"S", std::u16string(20000, u'x')).size(),
        16644u);
    const std::string marker = Utf16ToUtf8(installlog::kInstallModeMarker);
    for (const auto& [value, installing] : {std::pair{"OK", true},
                                            {"Silent", true},
                                            {"ok", false},
                                            {"Silent ", false},
                                            {"", false}}) {
        ::setenv(marker.c_str(), value, 1);
        EXPECT_EQ(installlog::IsInstallMode(), installing) << value;
    }
    ::unsetenv(marker.c_str());
    EXPECT_FALSE(installlog::IsInstallMode());
}

class LogFile : public testing::Test {
protected:
    LogFile() {
        std::string pattern = (fs::temp_directory_path() / "tarn-logfile-XXXXXX").string();
        directory_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
        registry_.keys[kSettings] = {{u"MaxSize", FakeRegistry::Dword(10)},
                                     {u"MaxFiles", FakeRegistry::Dword(2)}};
    }
    ~LogFile() override { fs::remove_all(directory_); }

    std::string Path(const std::string& name) const { return directory_ + "/" + name; }
    void Make(const std::string& name, std::size_t size, int ageSeconds) const {
        std::ofstream(Path(name)) << std::string(size, 'x');
        fs::last_write_time(Path(name),
                            fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
    }
    void Write(const char16_t* message) {
        AgentLog log(Utf8ToUtf16(directory_), registry_);
        AgentLog::InFlightCounter* inFlight = nullptr;
        log.Write(inFlight, 4, u"Test", nullptr, nullptr, 0, 0, message);
        inFlight->fetch_sub(1);
    }
    std::string Text(const std::string& name) const { return test::ReadFileBytes(Path(name)); }

    std::string directory_;
    FakeRegistry registry_;
};

TEST_F(LogFile, RotatesOnlyPastItsSize) {
    Make("Agent.log", 10240, 0);
    Write(u"first");
    EXPECT_FALSE(fs::exists(Path("Agent1.log"))) << "exactly the size is not past it";
    EXPECT_EQ(Text("Agent.log").substr(0, 10242), std::string(10240, 'x') + "\r\n");
    const std::string full = Text("Agent.log");
    Write(u"second");
    EXPECT_EQ(Text("Agent1.log"), full);
    const std::vector<test::LogRecord> records = test::ParseLogRecords(Text("Agent.log"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "second");
}

TEST_F(LogFile, AFullSetLosesItsOldestArchive) {
    registry_.keys[logsettings::kHeaderKey] = {{u"LogFileHeader", FakeRegistry::String(u"Hello")}};
    Make("Agent1.log", 10, 100);
    Make("Agent.log", 20000, 10);
    Write(u"after rotation");
    EXPECT_EQ(fs::file_size(Path("Agent1.log")), 20000u); // the old current file
    EXPECT_FALSE(fs::exists(Path("Agent2.log")));
    const std::string text = Text("Agent.log");
    EXPECT_TRUE(text.starts_with("<event date='")) << text;
    EXPECT_NE(text.find("' severity='32' hostName='"), std::string::npos);
    EXPECT_NE(text.find("source='Log File Start'"), std::string::npos);
    EXPECT_NE(text.find(">\r\n <![CDATA[Hello]]>\r\n</event>\r\n<event date="), std::string::npos);
}

TEST_F(LogFile, ArchivesTakeTheLowestFreeNumber) {
    registry_.keys[kSettings][u"MaxFiles"] = FakeRegistry::Dword(3);
    Make("Agent.log", 20000, 10);
    Make("other.txt", 10, 100);
    Make("Agent1.log", 10, 5);
    Write(u"x");
    EXPECT_EQ(fs::file_size(Path("Agent2.log")), 20000u);
    EXPECT_TRUE(fs::exists(Path("Agent1.log")) && fs::exists(Path("other.txt")));
    EXPECT_TRUE(Text("Agent.log").starts_with("\r\n<event date='")) << "no header configured";
}

// Messages and sources no record expects each come back as written; a log directory that is
// a file drops the record and leaves the file alone.
TEST_F(LogFile, HostileRecordsAndPlaces) {
    const std::u16string megabyte(1 << 20, u'm');
    const std::u16string cdata = u"]]>]]&gt;]]]]>>\n\r\n\n";
    const std::u16string lone{u'a', char16_t{0xD800}, u'b', char16_t{0xDC00}};
    for (const std::u16string& message : {megabyte, cdata, lone}) {
        fs::remove(Path("Agent.log"));
        Write(message.c_str());
        const std::vector<test::LogRecord> records = test::ParseLogRecords(Text("Agent.log"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].message.size(),
                  Utf16ToUtf8(message).size() + (message == cdata ? 2 : 0)); // two bare LFs
    }
    fs::remove(Path("Agent.log"));
    AgentLog log(Utf8ToUtf16(directory_), registry_);
    const std::u16string source(4096, u'<');
    AgentLog::InFlightCounter* inFlight = nullptr;
    log.Write(inFlight, 4, source.c_str(), nullptr, nullptr, 0, 0, u"s");
    inFlight->fetch_sub(1);
    EXPECT_EQ(test::ParseLogRecords(Text("Agent.log")).at(0).source, Utf16ToUtf8(source));

    const std::string file = Path("file");
    std::ofstream(file) << "x";
    AgentLog misplaced(Utf8ToUtf16(file), registry_);
    misplaced.Write(inFlight, 4, u"s", nullptr, nullptr, 0, 0, u"m");
    inFlight->fetch_sub(1);
    EXPECT_EQ(test::ReadFileBytes(file), "x");
}

} // namespace
} // namespace tarn
