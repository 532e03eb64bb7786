// The other processes of the agent log tests, by the first argument:
//   bump                             increases the machine-wide settings change counter
//   hold <ms> <event>                holds the log lock for <ms> once it has set <event>
//   write <key> <dir> <n> [<event>]  writes "0".."n-1" into <dir> with the machine key <key>;
//                                    with <event>, then takes the lock, sets <event>, waits
//   report                           prints "<pid> <tid>", then a warning from "Installer" and
//                                    one without a source
#include "support/machinekey.h"
#include "utility/log/agentlog.h"
#include "utility/log/report.h"
#include "utility/platform/wintypes.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Takes the log lock as another writer would and tells the test through its event.
bool HoldLock(const wchar_t* event) {
    const HANDLE mutex =
        OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Global\\AGENTLOGMUTEX");
    const HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, event);
    const DWORD wait = mutex != nullptr ? WaitForSingleObject(mutex, 30000) : WAIT_FAILED;
    return (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) && held != nullptr && SetEvent(held);
}

int Bump() {
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE,
                                            L"Global\\Kpx_{9769A3C3-F9E1-4125-8257-033D6AF3E43B}");
    void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 4) : nullptr;
    if (view == nullptr) {
        return 2;
    }
    InterlockedIncrement(static_cast<LONG*>(view));
    return 0;
}

int Write(const std::wstring& key, const std::wstring& directory, int count, const wchar_t* event) {
    const tarn::test::MachineKeyRedirect machine(key, false);
    AgentLog log(tarn::U16(directory.c_str()));
    for (int i = 0; i < count; ++i) {
        AgentLog::InFlightCounter* inFlight = nullptr;
        log.Write(inFlight, 4, u"LoadProbe", nullptr, nullptr, 0, 0,
                  tarn::U16(std::to_wstring(i).c_str()));
        if (inFlight != nullptr) {
            inFlight->fetch_sub(1);
        }
    }
    if (event != nullptr && HoldLock(event)) {
        Sleep(INFINITE);
    }
    return event != nullptr ? 3 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"bump") {
        return Bump();
    }
    if (mode == L"hold" && argc == 4) {
        if (!HoldLock(argv[3])) {
            return 2;
        }
        Sleep(static_cast<DWORD>(std::stoul(argv[2])));
        return 0;
    }
    if (mode == L"write" && argc >= 5) {
        return Write(argv[2], argv[3], std::stoi(argv[4]), argc > 5 ? argv[5] : nullptr);
    }
    if (mode == L"report") {
        std::printf("%lu %lu\n", GetCurrentProcessId(), GetCurrentThreadId());
        std::fflush(stdout);
        CEReportEvent(CE_SEVERITY_WARNING, u"Installer", u"Done");
        CEReportEvent(CE_SEVERITY_WARNING, nullptr, u"No source");
        return 0;
    }
    return 1;
}
