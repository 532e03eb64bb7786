#include "utility/log/agentlog.h"
#include "utility/log/logsettings.h"

#include "utility/text/strings.h"

#include "common/logrecords.h"
#include "support/fakeregistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Writers of two separate writer objects (as two processes would have) and several threads
// each share one file while they read the settings; every record must come out whole.
TEST(AgentLogConcurrency, RecordsOfConcurrentWritersStayWhole) {
    std::string pattern = (fs::temp_directory_path() / "tarn-agentlog-mt-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::u16string directory = Utf8ToUtf16(pattern);
    test::FakeRegistry registry; // a size that keeps every record in one file
    registry.keys[logsettings::kSettingsKey] = {{u"MaxSize", test::FakeRegistry::Dword(100000)}};
    AgentLog first(directory, registry);
    AgentLog second(directory, registry);
    constexpr int kThreads = 8;
    constexpr int kRecords = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            AgentLog& log = t % 2 == 0 ? first : second;
            for (int i = 0; i < kRecords; ++i) {
                const std::u16string message =
                    Utf8ToUtf16("writer " + std::to_string(t) + " record " + std::to_string(i) +
                                " " + std::string(200, static_cast<char>('a' + t)));
                std::uint32_t maxSizeKB = 0;
                std::uint32_t maxFiles = 0;
                log.ReadSettings(maxSizeKB, maxFiles); // as every report does first
                AgentLog::InFlightCounter* inFlight = nullptr;
                log.Write(inFlight, 4, u"Concurrency", nullptr, nullptr, 0, 0, message.c_str());
                if (inFlight != nullptr) {
                    inFlight->fetch_sub(1);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::string error;
    const auto records =
        test::ParseLogRecords(test::ReadFileBytes(Utf16ToUtf8(first.LogFilePath())), &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kThreads * kRecords));
    std::set<std::string> messages;
    for (const auto& record : records) {
        messages.insert(record.message);
    }
    EXPECT_EQ(messages.size(), records.size());
    fs::remove_all(pattern);
}

} // namespace
} // namespace tarn
