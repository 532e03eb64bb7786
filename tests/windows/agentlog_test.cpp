// The log writer, the reporting call and the error texts against the real Windows services.
#include "utility/log/agentlog.h"
#include "utility/log/errortext.h"
#include "utility/log/logoverride.h"
#include "utility/log/report.h"
#include "utility/log/systemmessage.h"
#include "utility/text/strings.h"

#include "common/logrecords.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

namespace tarn {
namespace {

std::u16string TempDirectory(const char16_t* leaf) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    return std::u16string(U16(temp), n) + leaf;
}

std::vector<test::LogRecord> Records(const AgentLog& log) {
    std::string error;
    auto records =
        test::ParseLogRecords(test::ReadFileBytes(Utf16ToUtf8(log.LogFilePath())), &error);
    EXPECT_EQ(error, "");
    return records;
}

// Writes like the reporting call does, giving the in-flight count back; null names and zero
// ids stand for this process.
void Write(AgentLog& log, const char16_t* message, const char16_t* module = nullptr,
           const char16_t* process = nullptr, std::uint32_t pid = 0, std::uint32_t tid = 0) {
    AgentLog::InFlightCounter* inFlight = nullptr;
    log.Write(inFlight, 2, u"WindowsAgentLog", module, process, pid, tid, message);
    if (inFlight != nullptr) {
        inFlight->fetch_sub(1);
    }
}

std::u16string ProcessName() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::u16string full(U16(path), n);
    return full.substr(full.rfind(u'\\') + 1);
}

TEST(WindowsAgentLog, WritesRecordsWithTheProcessIdentity) {
    const std::u16string directory = TempDirectory(u"tarn-agentlog\\nested\\");
    DeleteFileW(Ole((directory + u"Agent.log").c_str()));
    AgentLog log(directory);
    EXPECT_EQ(log.LogFilePath(), directory + u"Agent.log");
    Write(log, u"\u00e9t\u00e9 \U0001F600");
    Write(log, u"second\nline", u"Other.dll", u"other.exe", 42, 43);
    const auto records = Records(log);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message, "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80") << "stored as UTF-8";
    EXPECT_EQ(records[1].message, "second\r\nline");
    EXPECT_EQ(records[1].module, "Other.dll");
    EXPECT_EQ(records[1].process, "other.exe");
    EXPECT_EQ(records[1].pid, 42u);
    EXPECT_EQ(records[1].thread, 43u);
    EXPECT_EQ(records[0].pid, GetCurrentProcessId());
    EXPECT_EQ(records[0].thread, GetCurrentThreadId());
    EXPECT_EQ(records[0].process, Utf16ToUtf8(ProcessName()));
    EXPECT_EQ(records[0].module, Utf16ToUtf8(ProcessName())) << "linked into the executable";
    EXPECT_FALSE(records[0].hostName.empty());
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char year[8];
    wsprintfA(year, "/%04u ", now.wYear);
    EXPECT_NE(records[0].date.find(year), std::string::npos) << records[0].date;
}

TEST(WindowsAgentLog, RecordIsDroppedWhileAnotherThreadHoldsTheMutex) {
    const std::u16string directory = TempDirectory(u"tarn-agentlog-mutex");
    AgentLog log(directory);
    DeleteFileW(Ole(log.LogFilePath().c_str()));
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The writer above opened or created the mutex, so it exists now.
    HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Global\\AGENTLOGMUTEX");
    ASSERT_NE(mutex, nullptr);
    std::thread holder([&] {
        WaitForSingleObject(mutex, INFINITE);
        SetEvent(held);
        WaitForSingleObject(done, INFINITE);
        ReleaseMutex(mutex);
    });
    WaitForSingleObject(held, INFINITE);
    Write(log, u"while held");
    SetEvent(done);
    holder.join();
    Write(log, u"after");
    const auto records = Records(log);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "after");
    CloseHandle(mutex);
    CloseHandle(held);
    CloseHandle(done);
}

// The writer hands its in-flight counter to the caller, who counts the write down; closing
// waits for that and leaves the settings reading 0.
TEST(WindowsAgentLog, CloseWaitsForWritesInProgressAndEndsTheSettings) {
    AgentLog log(TempDirectory(u"tarn-agentlog-close"));
    std::uint32_t size = 0;
    std::uint32_t files = 0;
    EXPECT_EQ(log.ReadSettings(size, files), 7u);
    EXPECT_EQ(size, 1048576u); // as the test prefix configures it
    EXPECT_EQ(files, 20u);
    AgentLog::InFlightCounter* inFlight = nullptr;
    log.Write(inFlight, 4, u"s", nullptr, nullptr, 0, 0, u"m");
    ASSERT_NE(inFlight, nullptr);
    EXPECT_EQ(inFlight->load(), 1);
    std::thread finisher([inFlight] {
        Sleep(150);
        inFlight->fetch_sub(1);
    });
    log.Close();
    EXPECT_EQ(inFlight->load(), 0);
    finisher.join();
    EXPECT_EQ(log.ReadSettings(size, files), 0u);
    EXPECT_EQ(size + files, 0u);
}

TEST(WindowsAgentLog, OverrideIsNormalisedInTheEnvironment) {
    SetEnvironmentVariableW(Ole(logoverride::kVariable), L"1000008");
    {
        const AgentLog log(TempDirectory(u"tarn-agentlog-override"));
        EXPECT_EQ(log.Override(), 0x01000008u);
    }
    wchar_t value[32] = {};
    GetEnvironmentVariableW(Ole(logoverride::kVariable), value, 32);
    EXPECT_EQ(std::u16string(U16(value)), u"01000008");
    SetEnvironmentVariableW(Ole(logoverride::kVariable), nullptr);
    const AgentLog without(TempDirectory(u"tarn-agentlog-override"));
    EXPECT_EQ(without.Override(), 0xFFFFFFFFu);
}

TEST(WindowsAgentLog, ProcessLogGoesToTheCommonApplicationData) {
    const std::u16string& directory = AgentLog::Instance().LogDirectory();
    const std::u16string tail = u"\\Velmoric\\Velmoric Agent\\Logs";
    ASSERT_GT(directory.size(), tail.size());
    EXPECT_EQ(directory.substr(directory.size() - tail.size()), tail);

    const std::string before = test::ReadFileBytes(Utf16ToUtf8(AgentLog::Instance().LogFilePath()));
    CEReportEventFormat(CE_SEVERITY_WARNING, u"WindowsReport", u"%s and %hs", u"wide", "narrow");
    CEReportEventFormat(CE_SEVERITY_TRACE, u"WindowsReport", u"not wanted by the default mask");
    const std::string after = test::ReadFileBytes(Utf16ToUtf8(AgentLog::Instance().LogFilePath()));
    ASSERT_GT(after.size(), before.size());
    // Other test programs in the prefix may log at the same time: keep this process's records.
    std::vector<test::LogRecord> records;
    for (auto& record : test::ParseLogRecords(std::string_view(after).substr(before.size()))) {
        if (record.pid == GetCurrentProcessId() && record.source == "WindowsReport") {
            records.push_back(std::move(record));
        }
    }
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].source, "WindowsReport");
    EXPECT_EQ(records[0].message, "wide and narrow");
    EXPECT_EQ(records[0].severity, 2u);
}

TEST(WindowsErrorText, SystemTextsAndFallbacks) {
    const std::u16string raw = SystemMessageText(2, kLanguageNeutral);
    ASSERT_GT(raw.size(), 2u);
    EXPECT_EQ(raw.substr(raw.size() - 2), u"\r\n");
    const std::u16string trimmed = GetErrorText(2);
    EXPECT_FALSE(trimmed.empty());
    EXPECT_NE(trimmed.back(), u'.');
    EXPECT_NE(trimmed.back(), u'\n');
    EXPECT_EQ(GetErrorText(0xE0001234), u"");
    EXPECT_EQ(GetErrorText(0xE0001234, 1, 1033), u"No error description available (0xE0001234)");
    SetLastError(2);
    EXPECT_EQ(GetLastErrorText(), trimmed);
    EXPECT_EQ(GetLastError(), 2u);
}

} // namespace
} // namespace tarn
