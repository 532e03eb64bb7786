#include "utility/log/report.h"

#include "utility/log/agentlog.h"
#include "utility/log/errortext.h"
#include "utility/log/installlog.h"
#include "utility/log/systemmessage.h"

#include <string_view>

namespace tarn::report {

// What reporting calls may report in turn (a directory it cannot create, while an override
// lifts suppression, or the writer's own creation); such a report on the reporting thread is
// dropped, not written inside the report it is about.
namespace {

thread_local bool reporting = false;

constexpr std::uint32_t kNoOverride = 0xFFFFFFFFu;
constexpr std::uint32_t kModeBits = 0x0FF00000u;
constexpr std::uint32_t kOverrideMask = 0xFFu;

std::uint32_t EffectiveSeverity(std::uint32_t severity, std::uint32_t modes) noexcept {
    const std::uint32_t field = (modes >> 20) & 0xFu;
    if (field == 1) {
        return CE_SEVERITY_TRACE;
    }
    std::uint32_t level = severity & 0xFFu;
    if (field == 2 && level <= 1) {
        level = CE_SEVERITY_INFO;
    }
    if (level == 0) {
        return CE_SEVERITY_ERROR;
    }
    return level > CE_SEVERITY_DEBUG ? CE_SEVERITY_DEBUG : level;
}

// Hands the record to the writer and gives back the writer's in-flight count on every path.
void WriteRecord(AgentLog& log, std::uint32_t severity, const char16_t* source,
                 const char16_t* message) {
    AgentLog::InFlightCounter* inFlight = nullptr;
    struct Done {
        AgentLog::InFlightCounter*& counter;
        ~Done() {
            if (counter != nullptr) {
                counter->fetch_sub(1);
            }
        }
    } done{inFlight};
    log.Write(inFlight, severity, source, nullptr, nullptr, 0, 0, message);
}

} // namespace

Filter ComputeFilter(std::uint32_t severity, std::uint32_t override) noexcept {
    const bool present = override != kNoOverride;
    const std::uint32_t modes = (present ? override : severity) & kModeBits;
    return {modes, EffectiveSeverity(severity, modes), present ? override & kOverrideMask : 0};
}

bool Wanted(const Filter& filter, std::uint32_t configuredMask) noexcept {
    return ((configuredMask | filter.extraMask) & filter.effectiveSeverity) != 0 &&
           (filter.modes & CE_MODE_SUPPRESS) == 0;
}

bool AtSourceInto(char16_t (&out)[kAtSourceBytes], const char* file, int line) noexcept {
    out[0] = u'\0';
    std::string_view base(file != nullptr ? file : "");
    const std::size_t slash = base.rfind('\\');
    if (slash != std::string_view::npos) {
        base.remove_prefix(slash + 1);
    }
    base = base.substr(0, base.rfind('.'));
    char narrow[kAtSourceBytes];
    const FormatArg args[] = {format_detail::Capture(base), format_detail::Capture(line)};
    bool cut = false;
    const std::size_t length = FormatInto(narrow, kAtSourceBytes, "%s(%d)", args, 2, &cut);
    if (cut) {
        return false;
    }
    // Narrow text reads as the formatter reads it: UTF-8 when well-formed, else Latin-1.
    FormatTo(out, kAtSourceBytes, u"%hs", std::string_view(narrow, length));
    return true;
}

// Whether a report of this severity would be written now. The callers below format (and look up
// error texts) only then: traces are reported on every evaluation and are mostly not wanted.
bool WouldWrite(std::uint32_t severity) noexcept {
    if (reporting) {
        return false;
    }
    try {
        AgentLog& log = AgentLog::Instance();
        std::uint32_t maxSizeKB = 0;
        std::uint32_t maxFiles = 0;
        return Wanted(ComputeFilter(severity, log.Override()),
                      log.ReadSettings(maxSizeKB, maxFiles));
    } catch (...) {
        return false;
    }
}

void ReportFormat(std::uint32_t severity, const char16_t* source, const char16_t* format,
                  const FormatArg* args, std::size_t count) noexcept {
    if (!WouldWrite(severity)) {
        return;
    }
    char16_t text[kMessageChars];
    FormatInto(text, kMessageChars, format, args, count);
    CEReportEvent(severity, source, text);
}

void ReportError(std::uint32_t severity, const char16_t* source, std::uint32_t error,
                 const char16_t* format, const FormatArg* args, std::size_t count) noexcept {
    if (!WouldWrite(severity)) {
        return;
    }
    char16_t text[kMessageChars] = {};
    try {
        bool cut = false;
        const std::size_t length = FormatInto(text, kMessageChars, format, args, count, &cut);
        if (length > 0 && !cut) {
            const std::u16string errorText =
                GetErrorText(error, ERRORTEXT_DECORATE_4, kLanguageEnglishUs);
            FormatTo(text + length, kMessageChars - length, u", error: %ls", errorText);
        }
        CEReportEvent(severity, source, text);
    } catch (...) {
    }
}

void ReportAt(std::uint32_t severity, const char* file, int line, const char16_t* format,
              const FormatArg* args, std::size_t count) noexcept {
    if (!WouldWrite(severity)) {
        return;
    }
    char16_t source[kAtSourceBytes];
    const bool haveSource = AtSourceInto(source, file, line);
    char16_t text[kMessageChars];
    FormatInto(text, kMessageChars, format, args, count);
    CEReportEvent(severity, haveSource ? source : nullptr, text);
}

} // namespace tarn::report

void CEReportEvent(std::uint32_t severity, const char16_t* source,
                   const char16_t* message) noexcept {
    if (message == nullptr || *message == u'\0') {
        return;
    }
    if (tarn::report::reporting) {
        return;
    }
    tarn::report::reporting = true;
    struct Done {
        ~Done() { tarn::report::reporting = false; }
    } done;
    try {
        AgentLog& log = AgentLog::Instance();
        const tarn::report::Filter filter = tarn::report::ComputeFilter(severity, log.Override());
        std::uint32_t maxSizeKB = 0;
        std::uint32_t maxFiles = 0;
        const std::uint32_t mask = log.ReadSettings(maxSizeKB, maxFiles);
        if (!tarn::report::Wanted(filter, mask)) {
            return;
        }
        const char16_t* word = SeverityWord(filter.effectiveSeverity);
        if ((filter.modes & CE_MODE_INSTALL_LOG) != 0) {
            if (!log.LockForOutput()) {
                return;
            }
            tarn::installlog::WriteInstallLog(word, source, message);
            log.UnlockForOutput();
        }
        if ((filter.modes & CE_MODE_CONSOLE) != 0) {
            if (!log.LockForOutput()) {
                return;
            }
            tarn::installlog::ConsolePrint(word, source, message);
            log.UnlockForOutput();
        }
        if (source == nullptr || log.LogDirectory().empty() || maxFiles == 0 || maxSizeKB == 0) {
            return;
        }
        tarn::report::WriteRecord(log, filter.effectiveSeverity, source, message);
    } catch (...) {
    }
}

const char16_t* SeverityWord(std::uint32_t severity) noexcept {
    switch (severity) {
    case CE_SEVERITY_ERROR:
        return u"*ERRR";
    case CE_SEVERITY_WARNING:
        return u"*WARN";
    case CE_SEVERITY_INFO:
        return u" INFO";
    case CE_SEVERITY_TRACE:
        return u"<TRC>";
    case CE_SEVERITY_VERBOSE:
        return u"<VRB>";
    case CE_SEVERITY_DEBUG:
        return u"<DBG>";
    default:
        return u"?UNKN";
    }
}
