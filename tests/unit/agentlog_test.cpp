#include "utility/log/agentlog.h"

#include "utility/log/logoverride.h"
#include "utility/text/strings.h"

#include "common/logrecords.h"
#include "support/logcapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using test::LogRecord;

// A fresh directory per test, removed afterwards.
class AgentLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarn-agentlog-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    std::u16string Dir(const std::string& relative = "") const {
        return Utf8ToUtf16((relative.empty() ? root_ : root_ / relative).string());
    }
    static std::string Text(const AgentLog& log) {
        return test::ReadFileBytes(Utf16ToUtf8(log.LogFilePath()));
    }
    static std::vector<LogRecord> Records(const AgentLog& log) {
        std::string error;
        std::vector<LogRecord> records = test::ParseLogRecords(Text(log), &error);
        EXPECT_EQ(error, "");
        return records;
    }
    // Writes like the reporting call does, giving the in-flight count back.
    static void Write(AgentLog& log, const char16_t* message, std::uint32_t severity = 4,
                      const char16_t* module = nullptr, const char16_t* process = nullptr,
                      std::uint32_t pid = 0, std::uint32_t tid = 0) {
        AgentLog::InFlightCounter* inFlight = nullptr;
        log.Write(inFlight, severity, u"AgentLogTest", module, process, pid, tid, message);
        if (inFlight != nullptr) {
            inFlight->fetch_sub(1);
        }
    }

    fs::path root_;
};

TEST_F(AgentLogTest, CreatesMissingDirectoriesAndAppendsRecords) {
    AgentLog log(Dir("a/b/c") + u"/");
    EXPECT_EQ(log.LogDirectory(), Dir("a/b/c")) << "one trailing separator goes";
    EXPECT_EQ(log.LogFilePath(), Dir("a/b/c/Agent.log"));
    Write(log, u"\u00e9t\u00e9 \U0001F600");
    Write(log, u"second\nline", 1, u"Other.dll", u"other.exe", 42, 43);
    const std::string text = Text(log);
    EXPECT_EQ(text.rfind("\r\n<event date='", 0), 0u) << "a record starts with CR LF";
    EXPECT_EQ(text.substr(text.size() - 8), "</event>") << "no line end after the last record";
    const std::vector<LogRecord> records = Records(log);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message, "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80");
    EXPECT_EQ(records[0].severity, 4u);
    EXPECT_EQ(records[0].process, "tarn_unit_tests");
    EXPECT_EQ(records[0].pid, static_cast<std::uint32_t>(::getpid()));
    EXPECT_EQ(records[0].thread, static_cast<std::uint32_t>(::gettid()));
    EXPECT_EQ(records[1].message, "second\r\nline");
    EXPECT_EQ(records[1].severity, 1u);
    EXPECT_EQ(records[1].source, "AgentLogTest");
    EXPECT_EQ(records[1].module, "Other.dll");
    EXPECT_EQ(records[1].process, "other.exe");
    EXPECT_EQ(records[1].pid, 42u);
    EXPECT_EQ(records[1].thread, 43u);
}

TEST_F(AgentLogTest, RecordIsDroppedWhenTheDirectoryCannotBeMade) {
    const fs::path blocker = root_ / "file";
    std::ofstream(blocker) << "x";
    AgentLog log(Utf8ToUtf16((blocker / "sub").string()));
    Write(log, u"dropped");
    EXPECT_EQ(test::ReadFileBytes(blocker.string()), "x");
}

// The writer hands its in-flight counter to the caller, who counts the write down; closing
// waits for that and leaves the settings reading 0.
TEST_F(AgentLogTest, CloseWaitsForWritesInProgressAndEndsTheSettings) {
    AgentLog log(Dir());
    std::uint32_t size = 0;
    std::uint32_t files = 0;
    EXPECT_EQ(log.ReadSettings(size, files), 7u);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(files, 20u);
    AgentLog::InFlightCounter* inFlight = nullptr;
    log.Write(inFlight, 4, u"s", nullptr, nullptr, 0, 0, u"m");
    ASSERT_NE(inFlight, nullptr);
    EXPECT_EQ(inFlight->load(), 1);
    std::thread finisher([inFlight] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        inFlight->fetch_sub(1);
    });
    log.Close();
    EXPECT_EQ(inFlight->load(), 0);
    finisher.join();
    EXPECT_EQ(log.ReadSettings(size, files), 0u);
    EXPECT_EQ(size + files, 0u);
}

// Sets the override variable for one test and restores the binary's own value afterwards.
class OverrideVariable {
public:
    explicit OverrideVariable(const char* value) {
        if (value != nullptr) {
            ::setenv(Name().c_str(), value, 1);
        } else {
            ::unsetenv(Name().c_str());
        }
    }
    ~OverrideVariable() { ::setenv(Name().c_str(), "0000003F", 1); }
    static std::string Name() { return Utf16ToUtf8(logoverride::kVariable); }
    static std::string Value() {
        const char* value = std::getenv(Name().c_str());
        return value != nullptr ? value : "<unset>";
    }
};

TEST_F(AgentLogTest, OverrideIsReadMaskedAndWrittenBackNormalised) {
    const struct {
        const char* variable;
        std::uint32_t override;
        std::string after;
    } cases[] = {
        {"12345678", 0x02300078, "02300078"},
        {"nonsense", 0xFFFFFFFF, "nonsense"},
        {"000000000000000000000003F", 0xFFFFFFFF, "000000000000000000000003F"}, // too long
        {"00000000000000000000003F", 0x00000000, "00000000"},
        {nullptr, 0xFFFFFFFF, "<unset>"},
    };
    for (const auto& c : cases) {
        const OverrideVariable variable(c.variable);
        const AgentLog log(Dir());
        EXPECT_EQ(log.Override(), c.override) << (c.variable ? c.variable : "unset");
        EXPECT_EQ(OverrideVariable::Value(), c.after);
    }
}

TEST(AgentLogInstance, WritesIntoTheTestBinaryDirectory) {
    EXPECT_EQ(Utf16ToUtf8(AgentLog::Instance().LogDirectory()), test::TestLogDirectory());
    EXPECT_EQ(AgentLog::Instance().Override(), 0x3Fu);
}

} // namespace
} // namespace tarn
