// The log writer against the prefix: settings, rotation, other processes, impersonation, the
// install log and the console. Settings come from a private machine key (support/machinekey.h).
#include "common/logrecords.h"
#include "support/childprocess.h"
#include "support/machinekey.h"
#include "utility/log/agentlog.h"
#include "utility/log/installlog.h"
#include "utility/log/logoverride.h"
#include "utility/log/logsettings.h"
#include "utility/platform/identity.h"
#include "utility/text/strings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <string>

namespace tarn {
namespace {

using logsettings::kHeaderKey;
using logsettings::kSettingsKey;

std::wstring KeyName(const wchar_t* test) {
    return std::wstring(L"agentlog-") + test + L"-" + std::to_wstring(GetCurrentProcessId());
}

// A directory under TEMP that does not exist: the writer creates it.
std::u16string RemovedDirectory(const wchar_t* leaf) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / leaf;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    return path.u16string();
}

void Write(AgentLog& log, const std::u16string& message) {
    AgentLog::InFlightCounter* inFlight = nullptr;
    log.Write(inFlight, 4, u"AgentLogFiles", nullptr, nullptr, 0, 0, message.c_str());
    if (inFlight != nullptr) {
        inFlight->fetch_sub(1);
    }
}

std::vector<test::LogRecord> Records(const std::u16string& path) {
    std::string error;
    auto records = test::ParseLogRecords(test::ReadFileBytes(Utf16ToUtf8(path)), &error);
    EXPECT_EQ(error, "") << Utf16ToUtf8(path);
    return records;
}

TEST(AgentLogSettings, AreReadFromTheMachineKeyWithinTheirBounds) {
    constexpr DWORD kAbsent = ~0u;
    constexpr DWORD kAsText = ~1u; // "63" as a string
    const struct {
        DWORD severity, maxSize, maxFiles;
        std::uint32_t mask, sizeKB, files;
    } cases[] = {
        {kAbsent, kAbsent, kAbsent, 7, 100, 20},
        {0x1FF, 5, 1, 0xFF, 10, 2},
        {63, 1048576, 1000, 63, 1048576, 1000},
        {0, 10, 2, 0, 10, 2},
        {kAsText, 11, 3, 7, 11, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.severity);
        test::MachineKeyRedirect machine(KeyName(L"bounds"));
        for (const auto& [name, value] : {std::pair{L"Severity", c.severity},
                                          {L"MaxSize", c.maxSize},
                                          {L"MaxFiles", c.maxFiles}}) {
            if (value == kAsText) {
                machine.Set(kSettingsKey, name, L"63");
            } else if (value != kAbsent) {
                machine.Set(kSettingsKey, name, value);
            }
        }
        AgentLog log(RemovedDirectory(L"tarn-agentlog-bounds"));
        std::uint32_t sizeKB = 0, files = 0;
        EXPECT_EQ(log.ReadSettings(sizeKB, files), c.mask);
        EXPECT_EQ(sizeKB, c.sizeKB);
        EXPECT_EQ(files, c.files);
    }
}

TEST(AgentLogSettings, FileNameAndHeaderRecordOfANewFile) {
    test::MachineKeyRedirect machine(KeyName(L"header"));
    machine.Set(kSettingsKey, L"FileName", L"Tarn Agent.txt");
    machine.Set(kHeaderKey, L"LogFileHeader", L"Tarn header");
    const std::u16string directory = RemovedDirectory(L"tarn-agentlog-header");
    AgentLog log(directory);
    EXPECT_EQ(log.LogFilePath(), directory + u"\\Tarn Agent.txt");
    EXPECT_EQ(log.RotationPattern(), directory + u"\\Tarn Agent*.txt");
    Write(log, u"first");
    Write(log, u"second");
    EXPECT_EQ(test::ReadFileBytes(Utf16ToUtf8(log.LogFilePath())).rfind("<event date='", 0), 0u);
    const auto records = Records(log.LogFilePath());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].source, "Log File Start");
    EXPECT_EQ(records[0].severity, 32u);
    EXPECT_EQ(records[0].message, "Tarn header");
    EXPECT_EQ(records[1].message, "first");
    EXPECT_EQ(records[2].message, "second");
}

// 10 KB files of about nine records each: after 60 records the three newest files remain, each
// starting with the header, the current one holding the newest record.
TEST(AgentLogFiles, RotateIntoArchivesKeepingTheNewestFiles) {
    test::MachineKeyRedirect machine(KeyName(L"rotation"));
    machine.Set(kSettingsKey, L"MaxSize", 10);
    machine.Set(kSettingsKey, L"MaxFiles", 3);
    machine.Set(kHeaderKey, L"LogFileHeader", L"H");
    const std::u16string directory = RemovedDirectory(L"tarn-agentlog-rotation");
    AgentLog log(directory);
    constexpr int kRecords = 60;
    for (int i = 0; i < kRecords; ++i) {
        Write(log, Utf8ToUtf16(std::to_string(i) + " " + std::string(1000, 'x')));
    }
    std::map<int, std::string> firstRecordToFile;
    std::vector<int> numbers;
    for (const char* name : {"Agent.log", "Agent1.log", "Agent2.log"}) {
        const std::u16string path = directory + u"\\" + Utf8ToUtf16(name);
        auto records = Records(path);
        ASSERT_GE(records.size(), 2u) << name;
        EXPECT_EQ(records[0].message, "H") << name;
        EXPECT_LE(test::ReadFileBytes(Utf16ToUtf8(path)).size(), 10240u + 1400u) << name;
        firstRecordToFile[std::stoi(records[1].message)] = name;
        for (auto r = records.begin() + 1; r != records.end(); ++r) {
            numbers.push_back(std::stoi(r->message));
        }
    }
    EXPECT_EQ(GetFileAttributesW(Ole((directory + u"\\Agent3.log").c_str())),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(firstRecordToFile.rbegin()->second, "Agent.log");
    std::sort(numbers.begin(), numbers.end());
    ASSERT_GT(numbers.size(), 20u);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        EXPECT_EQ(numbers[i], kRecords - static_cast<int>(numbers.size() - i)) << "newest kept";
    }
}

TEST(AgentLogSettings, ChangeCounterMovedByAnotherProcessRereadsAtOnce) {
    test::MachineKeyRedirect machine(KeyName(L"counter"));
    machine.Set(kSettingsKey, L"Severity", 7);
    AgentLog log(RemovedDirectory(L"tarn-agentlog-counter"));
    std::uint32_t sizeKB = 0, files = 0;
    ASSERT_EQ(log.ReadSettings(sizeKB, files), 7u);
    machine.Set(kSettingsKey, L"Severity", 63);
    EXPECT_EQ(log.ReadSettings(sizeKB, files), 7u) << "re-read a minute later";
    ASSERT_EQ(test::RunBeside(L"agentlog_probe.exe", L"bump").exitCode, 0u);
    EXPECT_EQ(log.ReadSettings(sizeKB, files), 63u);
}

// The owner of a file, as SDDL.
std::string Owner(const std::u16string& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    wchar_t* text = nullptr;
    GetNamedSecurityInfoW(Ole(path.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                          nullptr, nullptr, nullptr, &descriptor);
    const std::string sddl =
        owner != nullptr && ConvertSidToStringSidW(owner, &text) ? Utf16ToUtf8(U16(text)) : "none";
    LocalFree(text);
    LocalFree(descriptor);
    return sddl;
}

TEST(AgentLogFiles, ImpersonatingThreadWritesAsTheProcessAndGoesOnImpersonating) {
    const std::u16string directory = RemovedDirectory(L"tarn-agentlog-impersonation");
    AgentLog log(directory);
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    Write(log, u"impersonated");
    TokenHandle thread;
    const bool impersonating = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, thread.Out());
    RevertToSelf();
    EXPECT_TRUE(impersonating);
    const auto records = Records(log.LogFilePath());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "impersonated");
    // Created as the process: owned like a file that the process creates itself.
    const std::u16string reference = directory + u"\\reference.txt";
    CloseHandle(
        CreateFileW(Ole(reference.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(Owner(log.LogFilePath()), Owner(reference));
}

// The probe's environment: the override and the console marker; cleared again in this process.
struct ChildEnvironment {
    ChildEnvironment(const wchar_t* override, const wchar_t* console) { Set(override, console); }
    ~ChildEnvironment() { Set(nullptr, nullptr); }
    static void Set(const wchar_t* override, const wchar_t* console) {
        SetEnvironmentVariableW(Ole(logoverride::kVariable), override);
        SetEnvironmentVariableW(Ole(installlog::kConsoleMarker), console);
    }
};

TEST(AgentLogOutputs, InstallLogLinesOfAnotherProcess) {
    wchar_t common[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
    const std::string path = Utf16ToUtf8(U16(
        (std::wstring(common) + L"\\Velmoric\\Velmoric Agent\\InstallLogs\\KPXQRC.log").c_str()));
    const std::size_t before = test::ReadFileBytes(path).size();
    test::ChildRun run;
    {
        const ChildEnvironment environment(L"1000007", nullptr);
        run = test::RunBeside(L"agentlog_probe.exe", L"report");
    }
    ASSERT_EQ(run.exitCode, 0u);
    unsigned long pid = 0, tid = 0;
    ASSERT_EQ(std::sscanf(run.output.c_str(), "%lu %lu", &pid, &tid), 2);
    char ids[64];
    std::snprintf(ids, sizeof ids, " P:%-6lu T:%-6lu ", pid, tid);
    const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)";
    const std::regex expected(stamp + ids + R"(\*WARN Installer: Done\r\n)" + stamp + ids +
                              "No source\r\n");
    const std::string added = test::ReadFileBytes(path).substr(before);
    EXPECT_TRUE(std::regex_search(added, expected)) << added;
}

// Under Wine no child attaches to the console of a program without a terminal, so the test makes
// its own. A child that inherited it cannot attach and writes no copy; a detached one attaches and
// writes UTF-16 after a byte-order mark (text mode turns the LF of CR LF into CR LF again).
TEST(AgentLogOutputs, ConsoleCopyIntoAPipeOfAProcessThatAttachesToOurConsole) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    const std::u16string copy = u"\uFEFF*WARN\tInstaller\t\tDone\r\r\n*WARN\t\t\tNo source\r\r\n";
    for (const auto& [flags, expected] :
         {std::pair{DWORD{0}, std::u16string()}, {DWORD{DETACHED_PROCESS}, copy}}) {
        HANDLE read = nullptr, write = nullptr;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        ASSERT_TRUE(CreatePipe(&read, &write, &inherit, 0));
        const ChildEnvironment environment(L"04000007", L"1");
        const TokenHandle process(
            test::StartBeside(L"agentlog_probe.exe", L"report", write, flags));
        CloseHandle(write);
        std::string output;
        char buffer[4096];
        for (DWORD got = 0; ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got != 0;) {
            output.append(buffer, got);
        }
        CloseHandle(read);
        const std::size_t ids = output.find('\n') + 1; // "<pid> <tid>\r\n" before the copy
        EXPECT_EQ(output.substr(ids),
                  std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2))
            << flags;
    }
    FreeConsole();
}

TEST(AgentLogContention, RecordIsDroppedWhileAnotherProcessHoldsTheLock) {
    AgentLog log(RemovedDirectory(L"tarn-agentlog-held"));
    const std::wstring event = L"TarnAgentLog-" + KeyName(L"held");
    const TokenHandle held(CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
    const TokenHandle holder(test::StartBeside(L"agentlog_probe.exe", L"hold 3000 " + event));
    ASSERT_EQ(WaitForSingleObject(held.Get(), 60000), WAIT_OBJECT_0);
    const auto start = std::chrono::steady_clock::now();
    Write(log, u"while held");
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("the record was given up after %lld ms\n", static_cast<long long>(waited.count()));
    EXPECT_LT(waited, std::chrono::seconds(5));
    ASSERT_EQ(WaitForSingleObject(holder.Get(), 60000), WAIT_OBJECT_0);
    Write(log, u"after");
    const auto records = Records(log.LogFilePath());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "after");
}

// Four processes write 10,000 records each into a log rotating at 64 KB; a fifth is killed holding
// the lock after 1,000. Nothing is deleted, so the archive numbers follow the order of rotation.
TEST(AgentLogContention, ProcessesShareOneRotatingLogWithoutLosingRecords) {
    constexpr int kWriters = 4, kRecords = 10000, kKilledAfter = 1000;
    const std::wstring key = KeyName(L"load");
    test::MachineKeyRedirect machine(key);
    machine.Set(kSettingsKey, L"MaxSize", 64);
    machine.Set(kSettingsKey, L"MaxFiles", 1000);
    const std::u16string directory = RemovedDirectory(L"tarn-agentlog-load");
    const std::wstring write =
        L"write " + key + L" \"" + reinterpret_cast<const wchar_t*>(directory.c_str()) + L"\" ";
    const std::wstring event = L"TarnAgentLog-" + key;
    const TokenHandle held(CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
    const auto start = std::chrono::steady_clock::now();
    std::vector<HANDLE> writers{test::StartBeside(
        L"agentlog_probe.exe", write + std::to_wstring(kKilledAfter) + L" " + event)};
    for (int i = 0; i < kWriters; ++i) {
        writers.push_back(
            test::StartBeside(L"agentlog_probe.exe", write + std::to_wstring(kRecords)));
    }
    EXPECT_EQ(WaitForSingleObject(held.Get(), 120000), WAIT_OBJECT_0);
    TerminateProcess(writers[0], 9);
    EXPECT_EQ(
        WaitForMultipleObjects(static_cast<DWORD>(writers.size()), writers.data(), TRUE, 240000),
        WAIT_OBJECT_0);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::map<std::uint32_t, std::vector<int>> numbersByProcess;
    std::vector<std::uint32_t> processes;
    for (HANDLE writer : writers) {
        DWORD code = 0;
        GetExitCodeProcess(writer, &code);
        EXPECT_EQ(code, writer == writers[0] ? 9u : 0u);
        processes.push_back(GetProcessId(writer));
        CloseHandle(writer);
    }
    // The archives in the order they were made, then the current file.
    std::size_t total = 0, files = 0;
    for (bool archive = true; archive;) {
        const std::u16string path =
            directory + u"\\Agent" + Utf8ToUtf16(std::to_string(++files)) + u".log";
        archive = GetFileAttributesW(Ole(path.c_str())) != INVALID_FILE_ATTRIBUTES;
        for (const auto& record : Records(archive ? path : directory + u"\\Agent.log")) {
            numbersByProcess[record.pid].push_back(std::stoi(record.message));
            ++total;
        }
    }
    std::printf("%zu records in %zu files in %.1f s: %.0f records/s\n", total, files,
                seconds.count(), static_cast<double>(total) / seconds.count());
    for (std::uint32_t pid : processes) {
        const std::vector<int>& numbers = numbersByProcess[pid];
        const int expected = pid == processes[0] ? kKilledAfter : kRecords;
        ASSERT_EQ(numbers.size(), static_cast<std::size_t>(expected)) << "process " << pid;
        for (int i = 0; i < expected; ++i) {
            ASSERT_EQ(numbers[i], i) << "process " << pid << ": lost, doubled or out of order";
        }
    }
    EXPECT_EQ(numbersByProcess.size(), processes.size());
}

} // namespace
} // namespace tarn
