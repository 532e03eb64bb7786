// One record written by the log writer against the floor of the same work done with bare
// calls (wait for the mutex, open, append the same bytes, close, release), in one run, into
// a directory of its own. Windows only (the win64 tree under Wine).
#include "utility/log/agentlog.h"
#include "utility/text/strings.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

template <class Body>
double MicrosecondsPerCall(int calls, Body body) {
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < calls; ++i) {
            body();
        }
        const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
        best = std::min(best, spent.count() / calls);
    }
    return best;
}

} // namespace

int main() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring directory = std::wstring(temp) + L"tarn-log-bench";
    CreateDirectoryW(directory.c_str(), nullptr);
    AgentLog log(std::u16string(directory.begin(), directory.end()));
    const std::u16string message(120, u'm');
    const double record = MicrosecondsPerCall(2000, [&] {
        AgentLog::InFlightCounter* inFlight = nullptr;
        log.Write(inFlight, 4, u"Bench", nullptr, nullptr, 0, 0, message.c_str());
        inFlight->fetch_sub(1);
    });
    // The floor: the same record's bytes appended with the bare calls under the same mutex.
    const std::string bytes =
        "\r\n<event date='12/06/2026 07:00:00.0000000 +00:00' severity='4' hostName='vm' "
        "source='Bench' module='tarn_log_bench.exe' process='tarn_log_bench.exe' pid='32' "
        "thread='36' tickCount='123456' >\r\n  <![CDATA[" +
        std::string(120, 'm') + "]]>\r\n</event>";
    const std::wstring file = directory + L"\\Floor.log";
    const HANDLE mutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"Global\\AGENTLOGMUTEX");
    const double floor = MicrosecondsPerCall(2000, [&] {
        WaitForSingleObject(mutex, 1000);
        const HANDLE handle =
            CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        SetFilePointer(handle, 0, nullptr, FILE_END);
        DWORD written = 0;
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(handle);
        ReleaseMutex(mutex);
    });
    std::printf("one record: %.1f us, bare calls %.1f us, ratio %.2f\n", record, floor,
                record / floor);
    CloseHandle(mutex);
    return 0;
}
