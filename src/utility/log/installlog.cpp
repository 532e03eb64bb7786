#include "utility/log/installlog.h"

#include "utility/log/logplatform.h"
#include "utility/text/format.h"
#include "utility/text/strings.h"

namespace tarn::installlog {

namespace {

constexpr std::size_t kLineBytes = 16645; // terminator included
constexpr std::size_t kMarkerChars = 20;

std::string Utf8(const char16_t* text) {
    return text != nullptr ? Utf16ToUtf8(text) : std::string();
}

} // namespace

std::string FormatLine(const LineTime& t, std::uint32_t processId, std::uint32_t threadId,
                       const char16_t* severityWord, const char16_t* source,
                       std::u16string_view message) {
    char prefix[96];
    const std::size_t length = FormatTo(
        prefix, sizeof prefix, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld P:%-6d T:%-6d ",
        static_cast<long>(t.year), static_cast<long>(t.month), static_cast<long>(t.day),
        static_cast<long>(t.hour), static_cast<long>(t.minute), static_cast<long>(t.second),
        static_cast<int>(processId), static_cast<int>(threadId));
    std::string line(prefix, length);
    if (severityWord != nullptr && source != nullptr) {
        line += Utf8(severityWord) + " " + Utf8(source) + ": ";
    }
    line += Utf16ToUtf8(message);
    if (line.size() > kLineBytes - 3) {
        line.resize(kLineBytes - 3);
    }
    return line + "\r\n";
}

void WriteInstallLog(const char16_t* severityWord, const char16_t* source,
                     const char16_t* message) noexcept {
    try {
        const std::u16string& path = logplatform::InstallLogPath();
        if (path.empty()) {
            return;
        }
        const logrecord::Date now = logplatform::CurrentDate();
        const std::string line = FormatLine(
            {now.year, now.month, now.day, now.hour, now.minute, now.second},
            logplatform::CurrentProcessId(), logplatform::CurrentThreadId(), severityWord, source,
            message != nullptr ? std::u16string_view(message) : std::u16string_view());
        logplatform::AppendInstallLog(path, line);
    } catch (...) {
        // An install log that cannot be written produces no output.
    }
}

bool ConsolePrint(const char16_t* severityWord, const char16_t* source,
                  const char16_t* message) noexcept {
    try {
        if (!logplatform::ConsoleEnabled()) {
            return false;
        }
        const auto text = [](const char16_t* s) { return s != nullptr ? s : u""; };
        logplatform::WriteToConsole(FormatString(kLineBytes, u"%ls\t%ls\t\t%ls\r\n",
                                                 text(severityWord), text(source), text(message)));
        return true;
    } catch (...) {
        return false;
    }
}

bool IsInstallMode() noexcept {
    try {
        std::u16string value;
        return logplatform::ReadEnvironment(kInstallModeMarker, kMarkerChars, value) &&
               (value == u"OK" || value == u"Silent");
    } catch (...) {
        return false;
    }
}

} // namespace tarn::installlog
