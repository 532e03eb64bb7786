#include "support/componentlog.h"

#include "common/logrecords.h"
#include "utility/log/agentlog.h"
#include "utility/log/logoverride.h"
#include "utility/platform/wintypes.h"
#include "utility/text/strings.h"

#include <windows.h>

#include <algorithm>

namespace tarn::test {

namespace {

// Every severity reaches the log, whatever the machine's settings; set before anything logs.
const bool kLogEverything =
    SetEnvironmentVariableW(tarn::Ole(logoverride::kVariable), L"0000003F") != FALSE;

std::string LogBytes() {
    return ReadFileBytes(Utf16ToUtf8(AgentLog::Instance().LogFilePath()));
}

} // namespace

ComponentLogSince::ComponentLogSince() : start_(LogBytes().size()) {}

std::vector<std::string> ComponentLogSince::From(const std::string& source) const {
    const std::string text = LogBytes();
    std::vector<std::string> lines;
    for (const LogRecord& r : ParseLogRecords(text.substr(std::min(start_, text.size())))) {
        // Other test programs share the prefix and so the log: only this process's records.
        if (r.source == source && r.module == "KpxTarnRuleProvider.dll" &&
            r.pid == GetCurrentProcessId()) {
            lines.push_back(std::to_string(r.severity) + " " + r.message);
        }
    }
    return lines;
}

} // namespace tarn::test
