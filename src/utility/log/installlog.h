// The outputs a record is copied to while the agent is being installed: the plain-text install
// log and the console of the process that started this one. Both are written only while the
// caller holds the log lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn::installlog {

// The local time of a line.
struct LineTime {
    std::uint16_t year, month, day, hour, minute, second;
};

// "YYYY-MM-DD hh:mm:ss P:<pid> T:<tid> <word> <source>: <message>\r\n" (ids left-aligned in six
// columns), or without word and source when either is null; the texts in UTF-8. A line longer
// than the 16644 bytes the line buffer holds loses the end of its message.
std::string FormatLine(const LineTime& time, std::uint32_t processId, std::uint32_t threadId,
                       const char16_t* severityWord, const char16_t* source,
                       std::u16string_view message);

// Appends one line to the install log (its path is found at the first line of the process);
// nothing when there is no path or the file cannot be opened.
void WriteInstallLog(const char16_t* severityWord, const char16_t* source,
                     const char16_t* message) noexcept;

// The record's console form, "<word>\t<source>\t\t<message>\r\n", when console output is on for
// this process (decided at its first console line from the console marker); false otherwise.
bool ConsolePrint(const char16_t* severityWord, const char16_t* source,
                  const char16_t* message) noexcept;

// The install-mode marker holds exactly "OK" or "Silent": the agent's installer runs us.
bool IsInstallMode() noexcept;

inline constexpr char16_t kConsoleMarker[] = u"Kpx_{5F596BB2-D8F6-4549-B5A3-3C07AE7B2AD2}";
inline constexpr char16_t kInstallModeMarker[] = u"Kpx_{407B8F95-9674-45e8-B441-969669DBEB56}";

} // namespace tarn::installlog
