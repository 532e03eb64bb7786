// The reporting call that every part of the system uses, and its formatting wrappers.
// Reporting never fails towards its caller and never changes control flow.
#pragma once

#include "utility/log/comerror.h"
#include "utility/platform/wintypes.h"
#include "utility/text/format.h"

#include <cstdint>

// Severity flags (low byte) and mode bits (bits 20-27) of a severity value.
enum : std::uint32_t {
    CE_SEVERITY_ERROR = 1,
    CE_SEVERITY_WARNING = 2,
    CE_SEVERITY_INFO = 4,
    CE_SEVERITY_TRACE = 8,
    CE_SEVERITY_VERBOSE = 16,
    CE_SEVERITY_DEBUG = 32,

    CE_MODE_FORCE_TRACE = 0x00100000,
    CE_MODE_ERRORS_AS_INFO = 0x00200000,
    CE_MODE_INSTALL_LOG = 0x01000000,
    CE_MODE_SUPPRESS = 0x02000000,
    CE_MODE_CONSOLE = 0x04000000,
};

namespace tarn::report {

inline constexpr std::size_t kMessageChars = 4096; // report messages, cut at 4095
inline constexpr std::size_t kRaiseChars = 8192;   // raised descriptions and FormatBstr
inline constexpr std::size_t kAtSourceBytes = 292; // "basename(line)" of CEReportEventAt

// Mode bits, effective severity and the extra mask of one record, from the caller's severity
// value and the process-wide override (0xFFFFFFFF for none).
struct Filter {
    std::uint32_t modes;
    std::uint32_t effectiveSeverity;
    std::uint32_t extraMask;
};
Filter ComputeFilter(std::uint32_t severity, std::uint32_t override) noexcept;

// Whether a record passes the configured mask and the override's extra mask and is not
// suppressed.
bool Wanted(const Filter& filter, std::uint32_t configuredMask) noexcept;

// The source of CEReportEventAt: base name of `file` (behind its last backslash, cut at its
// last dot), "(", line, ")". False, and `out` empty, when it does not fit kAtSourceBytes.
bool AtSourceInto(char16_t (&out)[kAtSourceBytes], const char* file, int line) noexcept;

void ReportAt(std::uint32_t severity, const char* file, int line, const char16_t* format,
              const FormatArg* args, std::size_t count) noexcept;
void ReportError(std::uint32_t severity, const char16_t* source, std::uint32_t error,
                 const char16_t* format, const FormatArg* args, std::size_t count) noexcept;
void ReportFormat(std::uint32_t severity, const char16_t* source, const char16_t* format,
                  const FormatArg* args, std::size_t count) noexcept;

template <class... A>
struct Captured {
    FormatArg items[sizeof...(A) == 0 ? 1 : sizeof...(A)];
    explicit Captured(const A&... args) noexcept : items{format_detail::Capture(args)...} {}
    static constexpr std::size_t count = sizeof...(A);
};

} // namespace tarn::report

// Writes one record if the severity passes the process's filter. Null or empty messages
// write nothing; a null source writes no log file record.
void CEReportEvent(std::uint32_t severity, const char16_t* source,
                   const char16_t* message) noexcept;

template <class... A>
void CEReportEventFormat(std::uint32_t severity, const char16_t* source, const char16_t* format,
                         const A&... args) noexcept {
    const tarn::report::Captured<A...> c(args...);
    tarn::report::ReportFormat(severity, source, format, c.items, c.count);
}

// Like CEReportEventFormat, then ", error: <text of error>" when the message was not cut.
template <class... A>
void CEReportEventError(std::uint32_t severity, const char16_t* source, std::uint32_t error,
                        const char16_t* format, const A&... args) noexcept {
    const tarn::report::Captured<A...> c(args...);
    tarn::report::ReportError(severity, source, error, format, c.items, c.count);
}

// Reports under the source "basename(line)" of a source position.
template <class... A>
void CEReportEventAt(std::uint32_t severity, const char* file, int line, const char16_t* format,
                     const A&... args) noexcept {
    const tarn::report::Captured<A...> c(args...);
    tarn::report::ReportAt(severity, file, line, format, c.items, c.count);
}

// The five-character word of a severity ("*ERRR", "*WARN", " INFO", "<TRC>", "<VRB>",
// "<DBG>", else "?UNKN").
const char16_t* SeverityWord(std::uint32_t severity) noexcept;

#if defined(__FILE_NAME__)
#define TARN_SOURCE_FILE __FILE_NAME__
#else
#define TARN_SOURCE_FILE __FILE__
#endif

// Reports a failed HRESULT as a warning under the source position and returns it from the
// enclosing function; success codes go on.
#define FAILED_RETURN(expression)                                                                  \
    do {                                                                                           \
        const HRESULT failedReturnHr_ = (expression);                                              \
        if (FAILED(failedReturnHr_)) {                                                             \
            CEReportEventAt(CE_SEVERITY_WARNING, TARN_SOURCE_FILE, __LINE__, u"FAILED_RETURN %x",  \
                            failedReturnHr_);                                                      \
            return failedReturnHr_;                                                                \
        }                                                                                          \
    } while (0)

// Reports a failed HRESULT likewise and throws it as a bare status code (tarn::BareStatus).
#define FAILED_THROW(expression)                                                                   \
    do {                                                                                           \
        const HRESULT failedThrowHr_ = (expression);                                               \
        if (FAILED(failedThrowHr_)) {                                                              \
            CEReportEventAt(CE_SEVERITY_WARNING, TARN_SOURCE_FILE, __LINE__, u"FAILED_THROW %x",   \
                            failedThrowHr_);                                                       \
            throw ::tarn::BareStatus{failedThrowHr_};                                              \
        }                                                                                          \
    } while (0)
